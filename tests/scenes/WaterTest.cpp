// Water surface: resting surface, the splash stamp and its first step, stamps at the grid's
// edge, and the surface settling back to rest.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scenes/Water.h"

namespace {

TWaterSim RestingWater() {
  TWaterSim water;
  water.Create();
  return water;
}

}  // namespace

TEST(WaterStep, FlatSurfaceStaysFlatWithNormalsDownInsideAndUpOnTheBorder) {
  TWaterSim water = RestingWater();
  EXPECT_EQ(water.Damping, 0.96f);
  water.Step(1.2f);
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 64; ++j) {
      EXPECT_EQ(water.Height[i][j], 0.0f);
      EXPECT_EQ(water.Velocity[i][j], 0.0f);
      const Vector3& n = water.Normals[i][j];
      const bool border = i == 0 || j == 0 || i == 63 || j == 63;
      EXPECT_EQ(n.x, 0.0f);
      EXPECT_EQ(n.y, border ? 1.0f : -1.0f) << i << "," << j;
      EXPECT_EQ(n.z, 0.0f);
    }
  }
}

TEST(WaterSplash, OneStepMovesTheStampedCellsByStrengthTimesScale) {
  TWaterSim water = RestingWater();
  water.Damping = 0.98f;
  const float s = 300.0f, k = 2.0f;
  water.Splash(1, 1, 999.0f);  // an earlier splash elsewhere that must not matter
  water.Create();
  water.Damping = 0.98f;
  water.Splash(20, 30, 77.0f);
  water.Splash(20, 30, s);  // replaces, does not add
  EXPECT_EQ(water.Velocity[20][30], s);
  EXPECT_EQ(water.Velocity[19][30], s / 2);
  EXPECT_EQ(water.Velocity[21][31], s / 3);
  water.Step(k);
  EXPECT_EQ(water.Height[20][30], -s * k);
  for (auto [i, j] : {std::pair{19, 30}, {21, 30}, {20, 29}, {20, 31}}) {
    EXPECT_EQ(water.Height[i][j], -(s / 2) * k);
    EXPECT_EQ(water.Velocity[i][j], (s / 2) * 0.98f);
  }
  for (auto [i, j] : {std::pair{19, 29}, {21, 29}, {19, 31}, {21, 31}}) {
    EXPECT_EQ(water.Height[i][j], -(s / 3) * k);
    EXPECT_EQ(water.Velocity[i][j], (s / 3) * 0.98f);
  }
  EXPECT_EQ(water.Velocity[20][30], s * 0.98f);
  EXPECT_EQ(water.Height[22][30], 0.0f);
  // The surface dips at the centre: its normals tilt away from the centre on both sides.
  EXPECT_LT(water.Normals[19][30].x, 0.0f);
  EXPECT_GT(water.Normals[21][30].x, 0.0f);
  EXPECT_GT(water.Normals[20][31].z, 0.0f);
  const Vector3& n = water.Normals[21][30];
  EXPECT_FLOAT_EQ(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f);
}

TEST(WaterSplash, StampsReachingOutOfTheGridWriteOnlyTheCellsInside) {
  // Canaries around the grid's storage catch any write outside it.
  struct Guarded {
    float before[64];
    TWaterSim water;
    float after[64];
  } g;
  for (float& v : g.before) v = 1.0f;
  for (float& v : g.after) v = 1.0f;
  g.water.Create();
  g.water.Splash(0, 0, 90.0f);
  g.water.Splash(63, 63, 90.0f);
  g.water.Splash(0, 40, 90.0f);
  g.water.Splash(-5, 200, 90.0f);  // entirely outside: nothing at all
  for (float v : g.before) EXPECT_EQ(v, 1.0f);
  for (float v : g.after) EXPECT_EQ(v, 1.0f);
  EXPECT_EQ(g.water.Velocity[0][0], 90.0f);
  EXPECT_EQ(g.water.Velocity[1][0], 45.0f);
  EXPECT_EQ(g.water.Velocity[1][1], 30.0f);
  EXPECT_EQ(g.water.Velocity[63][63], 90.0f);
  EXPECT_EQ(g.water.Velocity[62][62], 30.0f);
  EXPECT_EQ(g.water.Velocity[1][41], 30.0f);
  int touched = 0;
  for (auto& row : g.water.Velocity)
    for (float v : row) touched += v != 0.0f;
  EXPECT_EQ(touched, 4 + 4 + 6);
  // The edge rows and columns never move.
  g.water.Step(1.0f);
  EXPECT_EQ(g.water.Height[0][0], 0.0f);
  EXPECT_EQ(g.water.Height[1][1], 0.0f);
  EXPECT_EQ(g.water.Height[62][62], 0.0f);
  EXPECT_EQ(g.water.Height[1][40], 0.0f);
}

TEST(WaterStep, ShowRateRipplesSpreadAndSettleBackToRest) {
  // The show's settings: damping 0.98 and scale 70 x the frame time at 60 frames a second.
  TWaterSim water = RestingWater();
  water.Damping = 0.98f;
  const float scale = 70.0f / 60.0f;
  water.Splash(30, 30, 1500.0f);
  for (int n = 0; n < 20; ++n) water.Step(scale);
  EXPECT_NE(water.Height[30][36], 0.0f);  // the ring has spread outwards
  for (int n = 0; n < 3000; ++n) water.Step(scale);
  float largest = 0;
  for (auto& row : water.Height)
    for (float h : row) largest = std::max(largest, std::fabs(h));
  EXPECT_TRUE(std::isfinite(largest));
  EXPECT_LT(largest, 1.0f);
}
