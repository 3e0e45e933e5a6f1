// TWaterSim: the 64 x 64 height-field water that rocks the rail scene's brick floor.
#pragma once
#include "render/Types.h"

class TWaterSim {
 public:
  static constexpr int Size = 64;

  // Velocity factor applied once per step; the owner may change it at any time.
  float Damping = 0.96f;
  // [row][column]; only rows and columns 2 .. 61 ever move.
  float Height[Size][Size] = {};
  // Rate at which the height sinks: a positive value lowers the surface.
  float Velocity[Size][Size] = {};
  // Unit normals written by Step: (0, 1, 0) on the border, about (0, -1, 0) inside.
  Vector3 Normals[Size][Size] = {};

  // Damping 0.96, all grids zero.
  void Create();
  // Stamps strength (centre), strength / 2 (edges) and strength / 3 (corners) into Velocity
  // around [row][column], replacing what was there; cells of the stamp outside the grid are
  // skipped.
  void Splash(int row, int column, float strength);
  // One step of the surface, heights moved by Velocity * scale, then the normals.
  void Step(float scale) { Step(scale, 1.0f); }
  // The same for a step of `sixtieths` / 60 s: the pull back towards the neighbours is scaled by
  // it and Damping raised to it, so that short steps add up to the motion of 1/60 s steps.
  // With sixtieths 1 it is exactly Step(scale).
  void Step(float scale, float sixtieths);
};
