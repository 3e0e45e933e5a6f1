// The control-point curve and the wandering path through the loaded point field.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "timeline/PointField.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// Four points on a line along x: 0, 10, 20, 30 (y and z zero).
TInterpol LinePoints() {
  TInterpol line;
  for (float x : {0.0f, 10.0f, 20.0f, 30.0f}) line.Points.push_back({x, 0, 0});
  return line;
}

bool SameVector(const Vector3& a, const Vector3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
}  // namespace

TEST(PointField, CurvePassesThroughItsControlPoints) {
  const TInterpol line = LinePoints();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(line.Evaluate(static_cast<float>(i)).x, 10.0f * i);
  // Between the inner points a straight line stays straight: a0 = 20, a1 = -30, a2 = 20.
  EXPECT_FLOAT_EQ(line.Evaluate(1.5f).x, 15.0f);
  EXPECT_EQ(line.Evaluate(1.5f).y, 0);
}

TEST(PointField, EndsReadTheFirstAndLastPointInsteadOfLeavingTheArray) {
  const TInterpol line = LinePoints();
  // Before the first interval the first point stands in for the one before it: a0 = 10, a1 = -10,
  // a2 = 10, so at f = 0.5 the value is 1.25 - 2.5 + 5 = 3.75.
  EXPECT_FLOAT_EQ(line.Evaluate(0.5f).x, 3.75f);
  // In the last interval the last point stands in for the one after it: 1.25 - 5 + 10 + 20.
  EXPECT_FLOAT_EQ(line.Evaluate(2.5f).x, 26.25f);
  EXPECT_EQ(line.Evaluate(3.5f).x, 30.0f);
  EXPECT_EQ(line.Evaluate(1e9f).x, 30.0f);
  EXPECT_EQ(line.Evaluate(-3.0f).x, 0.0f);
  EXPECT_EQ(line.Evaluate(std::numeric_limits<float>::quiet_NaN()).x, 0.0f);

  TInterpol single;
  single.Points.push_back({1, 2, 3});
  EXPECT_TRUE(SameVector(single.Evaluate(0.7f), {1, 2, 3}));
  EXPECT_TRUE(SameVector(TInterpol{}.Evaluate(5.0f), {}));
}

TEST(PointField, WanderOffsetRepeatsEveryTwentySecondsAndScalesByPercent) {
  const float savedTime = ShowTime;
  const uint32_t savedSeed = RandomSeed;
  RandomSeed = 0;
  RandomPointField.Fill(500, 500.0f);
  const std::vector<Vector3>& points = RandomPointField.Points;

  ShowTime = 0;
  EXPECT_TRUE(SameVector(WanderOffset(100), points[0]));
  ShowTime = 20.0f;  // u stays 20: t = 400 exactly
  EXPECT_TRUE(SameVector(WanderOffset(100), points[400]));
  ShowTime = 40.0f;
  EXPECT_TRUE(SameVector(WanderOffset(100), points[400]));
  const Vector3 half = WanderOffset(50);
  EXPECT_FLOAT_EQ(half.x, points[400].x / 2);
  EXPECT_TRUE(SameVector(WanderOffset(0), {}));

  // Just past 20 s the path has jumped back to its start.
  ShowTime = 20.001f;
  const Vector3 start = WanderOffset(100);
  auto distance = [](const Vector3& a, const Vector3& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
  };
  EXPECT_LT(distance(start, points[0]), 40.0f);
  EXPECT_LT(distance(start, points[0]), distance(start, points[400]) / 4);

  // A show time that never ends (live mode) or a broken one gives a point, not a hang.
  for (float time :
       {3.0e9f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
    ShowTime = time;
    const Vector3 p = WanderOffset(100);
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << time;
  }
  ShowTime = savedTime;
  RandomSeed = savedSeed;
}
