// The flower scene's camera arithmetic that needs no GL.
#pragma once
#include "render/Types.h"

// Where the flower camera starts the first time the scene is drawn.
inline constexpr Vector3 FlowerEyeStart{60, 180, 80};

// One turn of the flower camera (the scene turns it twice a frame): rotation only, so the eye's
// distance from the origin never changes; with dt = 0 it does not move.
void TurnFlowerEye(Vector3& eye, float t, float dt);

// The scene's persistent camera position, for inspection.
Vector3 FlowerSceneEye();
