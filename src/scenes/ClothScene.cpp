// Cloth scene placeholder.
#include "scenes/Scenes.h"

void LoadClothScene() {}
void DrawClothScene(float) {}
void ReleaseClothCorners() {}
void PullClothFarCorners(float) {}
