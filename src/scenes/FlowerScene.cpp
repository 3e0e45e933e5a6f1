// Flower scene: two additive, environment-mapped flowers with a blurred glow over a 190-degree backdrop.
#include "scenes/FlowerScene.h"

#include <cmath>

#include "render/VectorMath.h"
#include "scenes/Scenes.h"

void TurnFlowerEye(Vector3& eye, float t, float dt) {
  const double s = t;
  RotateVector(eye, Vector3{static_cast<float>(4.0 * dt * std::sin(s)),
                            static_cast<float>(9.0 * dt * std::sin(1.3 * s)), 21.0f * dt});
}

void LoadFlowerScene() {}
void DrawFlowerScene() {}
