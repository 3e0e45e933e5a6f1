// TCloth: the mass-spring cloth of the cloth scene, bounced off a height surface (z-up space).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "render/Types.h"

// CONVENTIONS: cloth space is z-up; particle (i, j), column i and row j, is element
// j * Columns + i of both particle arrays; times in seconds.

struct TClothParticle {
  Vector3 Position;
  Vector3 Velocity;  // units per second
  Vector3 Normal;    // written by ComputeNormals, used by Draw
  float TexU = 0, TexV = 0;
  float Mass = 0;
  uint8_t Pinned = 0;  // 1: not integrated by Step
};

struct TClothSpring {
  int32_t A = 0, B = 0;  // particle indices
  float Tension = 0;     // force magnitude of the last Step; positive when stretched
  float Stiffness = 0;
  float RestLength = 0;
};

class TCloth {
 public:
  static constexpr int HitRows = 101;
  static constexpr int HitColumns = 126;
  static constexpr int HitFileBytes = HitRows * HitColumns * 4;

  std::vector<TClothParticle> Particles;
  std::vector<TClothParticle> NextParticles;
  int32_t Columns = 0;
  int32_t Rows = 0;
  std::vector<TClothSpring> Springs;
  Vector3 Gravity;
  float Damping = 0;
  // Stored height h stands for a surface at z = h - 15; 0.0 means no surface there.
  float HitHeights[HitRows][HitColumns] = {};

  // Builds the flat sheet at z = 18 with its corners pinned, its springs and the per-particle
  // spring lists that Step gathers through.
  void Create(int32_t rows, int32_t columns, float uRange, float vRange, float stiffness,
              float mass);
  // Reads the raw little-endian heights; returns false (and shows a message) when the file is
  // missing or not exactly the expected size. Whatever whole values the file holds up to the
  // grid's size are used; the rest of the grid is 0 (no surface).
  bool LoadHitSurface(const std::string& fileName);
  // Spring tensions, then the integrated state of every particle into NextParticles; free
  // velocities are multiplied by Damping once per call.
  void Step(float dt) { Step(dt, Damping); }
  // The same with another velocity factor (the damping of a step shorter than 1/60 s).
  void Step(float dt, float damping);
  // In NextParticles: any y below floor becomes floor (pinned particles too).
  void ClampMinY(float floor);
  // Bounces NextParticles off the hit surface (pinned particles too).
  void CollideHitSurface();
  // NextParticles over Particles.
  void CommitStep();
  // Vertex normals of Particles: the negated average of the adjacent triangles' normals.
  void ComputeNormals();
  // One GL_QUADS batch with texture coordinates, normals and positions; binds nothing and sets
  // no blend state; leaves both faces' polygon mode filled.
  void Draw() const;
  // Pins the two corners of the last row and moves them by dy along y.
  void PullFarCorners(float dy);
  // Unpins all four corners.
  void ReleaseCorners();

 private:
  void BuildSpringEnds();

  // Each particle's spring ends in spring order (an A end before a B end of the same spring),
  // so Step adds the forces in exactly the order of a scan over the whole spring list. An end
  // is a slot of SpringForces: 2 s for spring s's pull on A, 2 s + 1 for its pull on B.
  std::vector<int32_t> SpringEndStart;  // Rows * Columns + 1 offsets into SpringEnds
  std::vector<int32_t> SpringEnds;
  std::vector<Vector3> SpringForces;  // scratch of Step, sized by Create
};
