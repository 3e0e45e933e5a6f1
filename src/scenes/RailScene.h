// Rail and water scene: the camera, floor heights, wheel and glow values and the water's frame
// as functions of the variant and the scene time, for the drawer and the tests.
#pragma once
#include "render/Types.h"
#include "scenes/Water.h"

// Bricks per side of the floor, brick spacing in world units.
inline constexpr int RailFloorSize = 40;
inline constexpr float RailBrickSpacing = 60.0f;

struct RailCamera {
  Vector3 eye, centre, up;
};

// The variant's orbiting camera before the shake (variants 1 to 4; others use variant 4's).
RailCamera RailCameraFor(int variant, float sceneTime);
// Lift of brick (i, j): 0 (variant 1), a bowl rising to the edges (2, 3), the water (4).
float RailBrickHeight(int variant, int i, int j, float sceneTime, const TWaterSim& water);
// Rotation angles (degrees) of the two wheels; a non-finite angle (variant 1 at scene time 0)
// gives 0, an unturned wheel.
void RailWheelAngles(int variant, float sceneTime, float& first, float& second);
// The glow picture's alpha of variants 2 to 4 (swings from -0.4 to 2.2).
float RailGlowAlpha(float sceneTime);
// The water's motion over seconds, without splashes: equal steps of at most 1/60 s
// (SplitFrame), each moving the heights by 70 x its length.
void MoveRailWater(TWaterSim& water, float seconds);
// One frame of the water: after each of MoveRailWater's steps, a splash with probability 0.03
// per 1/60 s of Random * 1500 at column and row Random * 40 (nearest, halves to even); draws
// from Random. At 60 frames a second this is one step and one chance, as the scene always had.
void AdvanceRailWater(TWaterSim& water, float frameDelta);
// The scene's water, created by LoadRailScene.
TWaterSim& RailWater();
