// Flower scene placeholder.
#include "scenes/Scenes.h"

void LoadFlowerScene() {}
void DrawFlowerScene() {}
