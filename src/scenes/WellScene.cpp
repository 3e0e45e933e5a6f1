// Well scene placeholder.
#include "scenes/Scenes.h"

void LoadWellScene() {}
void DrawWellScene(float, float, float, float, float) {}
