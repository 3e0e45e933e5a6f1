// The live layers that draw models: the ring, the swarm, the crowd and the pillar field.
#pragma once
#include "render/Types.h"

// Camera parameter of the ring, redrawn on each beat by the slot-3 layer.
extern float LiveRandom;
// The swarm camera: the eye is redrawn on each beat by the slot-2 layer.
extern Vector3 LiveEye;
extern Vector3 LiveCentre;
extern Vector3 LiveUp;

// 31 additive sphere-mapped copies of the swarm model along z, no depth test, multiplied onto
// the current modelview. Leaves sphere mapping off, blending on, depth test off.
void DrawRing();
// 11 scaled and turned additive copies of the swarm model; v widens the field of view. Leaves
// the 45-degree perspective with an identity modelview, sphere mapping off.
void DrawSwarm(float v);
// The swarm fed back through LayerCapture and again on top, tinted; moves the eye on the beat.
void DrawSlot2Layer(float s2);
// The ring fed back, the ring again, then a lit-up crowd of 301 copies; the value is unused.
void DrawSlot3Layer(float s3);
// Five nested lit rings and a 6 x 6 field of closing pillar pairs that glow when close.
void DrawSlot5Layer();
void DrawSlot8Layer(float s8);
void DrawSlot9Layer();
