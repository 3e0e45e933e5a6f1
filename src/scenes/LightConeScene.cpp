// Light-cone scene placeholder.
#include "scenes/Scenes.h"

void LoadLightConeScene() {}
void DrawLightConeScene() {}
