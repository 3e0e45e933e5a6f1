// Flower scene: the drifting camera and the scene's drawing against the real GL context.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/FlowerScene.h"

namespace {

float Length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(FlowerEye, HoldsStillWithoutElapsedTime) {
  Vector3 eye = FlowerEyeStart;
  for (float t : {0.0f, 1.0f, 118.7f, 205.0f}) TurnFlowerEye(eye, t, 0.0f);
  EXPECT_EQ(eye.x, 60.0f);
  EXPECT_EQ(eye.y, 180.0f);
  EXPECT_EQ(eye.z, 80.0f);
}

TEST(FlowerEye, KeepsItsDistanceOverAWholeVisit) {
  // Scene 10 and the ending together: about 30 s at 60 frames a second, two turns a frame.
  const float expected = std::sqrt(60.0f * 60 + 180.0f * 180 + 80.0f * 80);
  EXPECT_NEAR(expected, 205.9f, 0.05f);
  Vector3 eye = FlowerEyeStart;
  const Vector3 start = eye;
  float t = 118.7f;
  for (int frame = 0; frame < 30 * 60; ++frame, t += 1.0f / 60) {
    TurnFlowerEye(eye, t, 1.0f / 60);
    TurnFlowerEye(eye, t, 1.0f / 60);
  }
  EXPECT_NEAR(Length(eye), expected, 0.01f);
  // It did drift: 21 degrees a second about z alone moves it far from where it began.
  EXPECT_GT(std::fabs(eye.x - start.x) + std::fabs(eye.y - start.y), 50.0f);
}

}  // namespace
