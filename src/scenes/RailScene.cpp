// Rail and water scene placeholder.
#include "scenes/Scenes.h"

void LoadRailScene() {}
void DrawRailScene(int, float, float) {}
