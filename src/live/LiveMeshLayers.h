// The live layers that draw models: the ring, the swarm, the crowd and the pillar field.
#pragma once
#include "render/Types.h"

// The cameras of the mesh layers, moved on the beat.
struct LiveCameraState {
  // Camera parameter of the ring, redrawn on each beat by the crowd layer.
  float Random = 1.0f;
  // The swarm camera: the eye is redrawn on each beat by the swarm trail layer. The eye starts
  // at the origin, so the camera looks down -z from there rather than at the origin itself,
  // which would leave it no direction until the first beat moves the eye.
  Vector3 Eye = {0, 0, 0};
  Vector3 Centre = {0, 0, -1};
  Vector3 Up = {0, 1, 0};
};
extern LiveCameraState LiveCamera;

// 31 additive sphere-mapped copies of the swarm model along z, no depth test, multiplied onto
// the current modelview. Leaves sphere mapping off, blending on, depth test off.
void DrawRing();
// 11 scaled and turned additive copies of the swarm model; v widens the field of view. Leaves
// the 45-degree perspective with an identity modelview, sphere mapping off.
void DrawSwarm(float v);
// The swarm fed back through LiveAssets.LayerCapture and again on top, tinted; moves the eye on the beat.
void DrawSwarmTrail(float strength);
// The ring fed back, the ring again, then a lit-up crowd of 301 copies; only presence counts.
void DrawRingAndCrowd();
// Five nested lit rings and a 6 x 6 field of closing pillar pairs that glow when close.
void DrawRingsAndPillars();
