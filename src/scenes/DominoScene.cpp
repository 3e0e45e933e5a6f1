// Domino scene placeholder.
#include "scenes/Scenes.h"

void LoadDominoScene() {}
void DrawDominoScene(float) {}
