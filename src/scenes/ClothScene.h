// Cloth scene: the circling eye point, the bar positions and the scene's cloth, for the drawer
// and the tests.
#pragma once
#include "render/Types.h"
#include "scenes/Cloth.h"

// The eye point at showTime: (-2, 2, 27.5) turned about z at 40 degrees a second.
Vector3 ClothEyePoint(float showTime);
// Lower edge (overlay pixels) of background bar i (0 to 10) at showTime; bars are 25 high.
float ClothBarY(int i, float showTime);
// The scene's cloth, created by LoadClothScene.
TCloth& SceneCloth();
// What the script does to the cloth's corners while a cloth scene number runs: 99 holds them
// pinned, 11 frees all four, 12 drags the far two pinned along +y at 6 units a second, 13
// drags them at 4 units a second but leaves them free.
enum class ClothCorners { Held, Released, DraggedPinned, DraggedFree };
// The cloth's part of a frame of frameDelta seconds, without drawing: in each of the frame's
// steps (SplitFrame) the corners' script, the step with the damping scaled to the step's length,
// the floor at y = -15 and the hit surface; then the normals for drawing.
void AdvanceSceneCloth(float frameDelta, ClothCorners corners);
// Number of model meshes the scene draws (at most 4; fewer when the model has fewer).
int ClothModelMeshesDrawn();
