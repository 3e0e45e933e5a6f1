// Well scene: the spike subset, the circling camera, the blob's deformation and the scene's drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scenes/WellScene.h"

namespace {

float AxisDistance(const Vector3& v) { return std::sqrt(v.x * v.x + v.z * v.z); }
float Length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(WellSpikes, FixedScatteredSubset) {
  std::vector<int> first;
  for (int i = 0; i < 60; ++i)
    if (IsSpikeVertex(i)) first.push_back(i);
  EXPECT_EQ(first, (std::vector<int>{2, 10, 18, 26, 34, 42, 50, 58}));
  // About one vertex in seven, also far beyond the range where 1237 * i fits a float exactly.
  int count = 0;
  for (int i = 0; i < 200000; ++i) count += IsSpikeVertex(i);
  EXPECT_NEAR(count / 200000.0, 0.1436, 0.005);
}

TEST(WellCamera, HoldsStillWithoutSpinApartFromItsHeight) {
  WellCamera camera;
  for (float t : {0.0f, 3.14159265f, 98.1f}) {
    AdvanceWellCamera(camera, t, 1.0f / 60, 0.0f);
    EXPECT_FLOAT_EQ(camera.eye.y, static_cast<float>(300 + 110 * std::sin(0.5 * t)));
    EXPECT_EQ(camera.eye.x, 20.0f);
    EXPECT_EQ(camera.eye.z, 20.0f);
    EXPECT_EQ(camera.up.x, 1.0f);
    EXPECT_EQ(camera.up.y, 0.0f);
    EXPECT_EQ(camera.up.z, 0.0f);
  }
}

TEST(WellCamera, CirclesTheShaftAtAFixedDistance) {
  // The whole of scene 9 at 60 frames a second with a spin rate like the schedule's.
  WellCamera camera;
  float t = 98.1f;
  float travelled = 0;
  for (int frame = 0; frame < 21 * 60; ++frame, t += 1.0f / 60) {
    const Vector3 before = camera.eye;
    const float spin = 200 * std::sin(5 * t) * std::sin(2.8f * t) * 0.7f;
    AdvanceWellCamera(camera, t, 1.0f / 60, spin);
    travelled += std::fabs(before.x - camera.eye.x) + std::fabs(before.z - camera.eye.z);
  }
  EXPECT_NEAR(AxisDistance(camera.eye), std::sqrt(800.0f), 0.01f);
  EXPECT_NEAR(camera.eye.y, 300 + 110 * std::sin(0.5f * (t - 1.0f / 60)), 0.01f);
  EXPECT_NEAR(Length(camera.up), 1.0f, 1e-4f);
  EXPECT_GT(travelled, 10.0f);
}

TEST(WellBlob, WobbleDoublesTheModelWithinBoundedSines) {
  // Each coordinate is first scaled by 2 +- 0.2, then twice by 1 +- 0.2: never flipped, never
  // collapsed, never more than about three times as far out.
  for (float t : {0.0f, 1.7f, 104.3f}) {
    for (const Vector3& p : {Vector3{10, -20, 30}, Vector3{-45, 5, -7}, Vector3{0, 0, 0}}) {
      const Vector3 q = WobbleBlobVertex(p, t);
      const float in[3] = {p.x, p.y, p.z}, out[3] = {q.x, q.y, q.z};
      for (int k = 0; k < 3; ++k) {
        EXPECT_GE(out[k] * in[k], 1.8f * 0.64f * in[k] * in[k] - 1e-3f);
        EXPECT_LE(out[k] * in[k], 2.2f * 1.44f * in[k] * in[k] + 1e-3f);
      }
    }
  }
  // At t = 0 a point on the x axis feels only the sines of its own x.
  const Vector3 q = WobbleBlobVertex(Vector3{10, 0, 0}, 0);
  EXPECT_NEAR(q.x, 20 * 1 * 1 * (1 + 0.2 * std::sin(0.8)), 1e-3);
  EXPECT_EQ(q.y, 0.0f);
  EXPECT_EQ(q.z, 0.0f);
}

}  // namespace
