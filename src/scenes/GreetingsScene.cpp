// Greetings scene placeholder.
#include "scenes/Scenes.h"

void LoadGreetingsScene() {}
void DrawGreetingsScene(float, float) {}
