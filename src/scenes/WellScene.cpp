// Well scene: a circling camera looking down a shaft past scrolling rings at a spiked, wobbling blob.
#include "scenes/WellScene.h"

#include <cmath>

#include "render/VectorMath.h"
#include "scenes/Scenes.h"

bool IsSpikeVertex(int index) {
  // Double precision: 1237 * index leaves float's exact range long before the model's last vertex.
  return std::sin(1237.0 * index) < -0.9;
}

void AdvanceWellCamera(WellCamera& camera, float t, float dt, float spinRate) {
  camera.eye.y = static_cast<float>(300.0 + 110.0 * std::sin(0.5 * t));
  const float turn = spinRate * dt;
  RotateVector(camera.eye, Vector3{0, turn, 0});
  RotateVector(camera.up, Vector3{0, turn, static_cast<float>(0.231 * turn * std::sin(t))});
}

Vector3 WobbleBlobVertex(const Vector3& position, float t) {
  double x = position.x, y = position.y, z = position.z;
  const double s = t;
  // Each line uses the values the previous ones left; the first three double the model's size.
  x = 2 * x + 0.2 * x * std::sin(0.04 * z + 5.7 * s);
  y = 2 * y + 0.2 * y * std::sin(0.04 * z + 5.2 * s);
  z = 2 * z + 0.2 * z * std::sin(0.04 * z + 5.1 * s);
  x = x + 0.2 * x * std::sin(0.04 * y + 5.0 * s);
  y = y + 0.2 * y * std::sin(0.04 * y + 5.9 * s);
  z = z + 0.2 * z * std::sin(0.04 * y + 5.3 * s);
  x = x + 0.2 * x * std::sin(0.04 * x + 5.23 * s);
  y = y + 0.2 * y * std::sin(0.04 * x + 5.84 * s);
  z = z + 0.2 * z * std::sin(0.04 * x + 5.34 * s);
  return Vector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void LoadWellScene() {}
void DrawWellScene(float, float, float, float, float) {}
