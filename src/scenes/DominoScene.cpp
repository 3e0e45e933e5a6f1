// Domino scene: a winding line of dominoes toppling over a reflecting floor, rendered four times.
#include "scenes/DominoScene.h"

#include <algorithm>
#include <cmath>

#include "render/VectorMath.h"
#include "scenes/Scenes.h"

namespace {
Vector3 RollVector{0.0f, 1.0f, 0.0f};
}  // namespace

float DominoTilt(int index, float x) {
  const float tilt = 20.0f * (10.0f * x - static_cast<float>(index));
  return std::clamp(tilt, 0.0f, 70.0f);
}

Vector3 DominoEye(float x) {
  const float s = std::sin(x);
  return {20.0f * s, 20.0f + 15.0f * s, 56.0f * x};
}

Vector3 DominoCentre(float x) { return {10.0f, 0.0f, 63.0f * x}; }

void TurnRollVector(Vector3& roll, float dt) {
  RotateVector(roll, {0.0f, 20.0f * dt, 80.0f * dt});
}

Vector3 DominoRollVector() { return RollVector; }

void LoadDominoScene() { RollVector = {0.0f, 1.0f, 0.0f}; }
void DrawDominoScene(float) {}
