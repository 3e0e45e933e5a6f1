// Vector math, rotation sense, the camera helper and the light helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "ToolkitFixture.h"
#include "render/VectorMath.h"
#include "timeline/Random.h"

namespace {
void ExpectNear(const Vector3& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-6f);
  EXPECT_NEAR(v.y, y, 1e-6f);
  EXPECT_NEAR(v.z, z, 1e-6f);
}

Vector3 Rotated(Vector3 v, Vector3 angles) {
  RotateVector(v, angles);
  return v;
}
}  // namespace

TEST(VectorMath, RotateVectorTurnsAboutXThenReversedYThenZ) {
  // About Y the sense is the reverse of the right-handed one: +x goes to +z.
  ExpectNear(Rotated({1, 0, 0}, {0, 90, 0}), 0, 0, 1);
  ExpectNear(Rotated({0, 1, 0}, {90, 0, 0}), 0, 0, 1);
  // X first: (0, 1, 0) -> (0, 0, 1) -> (-1, 0, 0).
  ExpectNear(Rotated({0, 1, 0}, {90, 90, 0}), -1, 0, 0);
  // Z is right-handed: +x goes to +y.
  ExpectNear(Rotated({1, 0, 0}, {0, 0, 90}), 0, 1, 0);
  // The model turn of the brushes: (x, y, z) -> (x, z, -y).
  ExpectNear(Rotated({1, 2, 3}, {270, 0, 0}), 1, 3, -2);
}

TEST(VectorMath, NormalsAndNormalisation) {
  Triangle t;
  MakeTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, t);
  ExpectNear(FaceNormal(t), 0, 0, 1);
  // Not normalised: doubling the edges quadruples the normal.
  MakeTriangle({0, 0, 0}, {2, 0, 0}, {0, 2, 0}, t);
  ExpectNear(FaceNormal(t), 0, 0, 4);

  Vector3 v{3, 4, 0};
  Normalize(v);
  ExpectNear(v, 0.6f, 0.8f, 0);
  Vector3 zero;
  Normalize(zero);
  EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(VectorMath, DistanceIsSymmetricAndEuclidean) {
  const Vector3 a{1, -2, 3.5f}, b{-4, 6, 0.25f};
  EXPECT_EQ(Distance(a, b), Distance(b, a));
  EXPECT_NEAR(Distance(a, b), std::sqrt(25.0f + 64.0f + 3.25f * 3.25f), 1e-5f);
  EXPECT_EQ(Distance(a, a), 0.0f);
}

using CameraAndLight = GLStateTest;

TEST_F(CameraAndLight, DefaultLightSetsTheCurrentLight) {
  SetCurrentLight(GL_LIGHT1);
  SetupDefaultLight();
  EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
  GLfloat value[4];
  glGetLightfv(GL_LIGHT1, GL_DIFFUSE, value);
  EXPECT_FLOAT_EQ(value[3], 0.5f);

  // The position is taken through the modelview current at the call, as GL does.
  glTranslatef(0, 0, -5);
  SetLightPosition({1, 2, 3});
  glGetLightfv(GL_LIGHT1, GL_POSITION, value);
  EXPECT_FLOAT_EQ(value[2], -2);
  EXPECT_FLOAT_EQ(value[3], 1);
  glDisable(GL_LIGHT1);
  SetCurrentLight(GL_LIGHT0);
}
