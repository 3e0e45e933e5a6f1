// Greetings scene: sliding greetings, a spinning sculpture of cubes and its burst.
#include "scenes/GreetingsScene.h"

#include <algorithm>
#include <cmath>

#include "scenes/Scenes.h"

float GreetingsSlideX(float s) {
  // Before the scene clock starts the picture waits off screen instead of taking a NaN root.
  if (s < 2.0f) return 830.0f * std::sqrt(std::max(s, 0.0f) / 2.0f) - 800.0f;
  if (s <= 6.0f) return 30.0f;
  const float late = s - 6.0f;
  return 800.0f * late * late + 30.0f;
}

float SculptureCubeScale(const Vector3& v, float t) {
  return std::sin(0.02f * v.x + 3.0f * t) + std::sin(0.04f * v.y + 4.0f * t);
}

float BurstCubeScale(const Vector3& v, float s, float t) {
  return (s - 6.0f) * (std::sin(0.02f * v.x + 3.0f * t) + std::sin(0.04f * v.y + 4.0f * t) / 4.0f);
}

void LoadGreetingsScene() {}
void DrawGreetingsScene(float, float) {}
