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
// Number of model meshes the scene draws (at most 4; fewer when the model has fewer).
int ClothModelMeshesDrawn();
