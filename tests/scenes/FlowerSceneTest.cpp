// Flower scene: the drifting camera and the scene's drawing against the real GL context.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "HandRotation.h"
#include "SceneLoading.h"
#include "platform/GL.h"
#include "render/RenderState.h"
#include "scenes/FlowerScene.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {

float Length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// One turn of the flower camera at show time t after a frame of dt seconds: 4 dt sin t degrees
// about x, 9 dt sin 1.3t about y, 21 dt about z.
Vector3 FlowerTurnByHand(const Vector3& eye, double t, double dt) {
  return TurnedByHand(eye, 4 * dt * std::sin(t), 9 * dt * std::sin(1.3 * t), 21 * dt);
}

TEST(FlowerEye, TurnsAtItsThreeRates) {
  // At t = 0 only the turn about z is left: 21 degrees in a second.
  Vector3 eye = FlowerEyeStart;
  TurnFlowerEye(eye, 0.0f, 1.0f);
  const double a = 21 * M_PI / 180;
  EXPECT_NEAR(eye.x, 60 * std::cos(a) - 180 * std::sin(a), 1e-3);
  EXPECT_NEAR(eye.y, 60 * std::sin(a) + 180 * std::cos(a), 1e-3);
  EXPECT_EQ(eye.z, 80.0f);
  // Later all three turn, each with its own rate.
  for (const float t : {2.0f, 118.7f, 203.3f}) {
    Vector3 turned = FlowerEyeStart;
    TurnFlowerEye(turned, t, 0.5f);
    EXPECT_VECTOR_NEAR(turned, FlowerTurnByHand(FlowerEyeStart, t, 0.5), 2e-3);
  }
}

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

// One frame of scene 10 the way the schedule draws it, on a cleared black frame.
void DrawFlowerFrame(float t, float dt) {
  ShowTime = t;
  FrameDelta = dt;
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  SetPlainColour(ColorRGBA{1, 1, 1, 1});
  glDisable(GL_LIGHTING);
  DrawFlowerScene();
}

// The scene leaves the full window, the standard perspective and no GL error behind.
void ExpectCleanAfterState() {
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5], 1 / std::tan(22.5 * M_PI / 180), 1e-4);
}

TEST(FlowerSceneFrame, MissingFilesLeaveAnEmptyButSafeScene) {
  EnsureGLContext();
  TempDir empty;
  MessageLog log;
  LoadSceneIn(empty.path, LoadFlowerScene);
  EXPECT_FALSE(log.messages.empty());
  // The eye turns twice a frame: once for the glow, once for the picture.
  const Vector3 expected =
      FlowerTurnByHand(FlowerTurnByHand(FlowerEyeStart, 120.0, 0.25), 120.0, 0.25);
  DrawFlowerFrame(120.0f, 0.25f);
  EXPECT_VECTOR_NEAR(FlowerSceneEye(), expected, 2e-3);
  ExpectCleanAfterState();
}

TEST(FlowerSceneFrame, GeneratedDataGlowsAndContinuesOnLaterVisits) {
  if (!std::filesystem::exists(GeneratedDataPath("flower.3ds"))) GTEST_SKIP() << "no generated data";
  EnsureGLContext();
  LoadSceneIn(GeneratedDataPath(""), LoadFlowerScene);
  EXPECT_EQ(FlowerSceneEye().x, FlowerEyeStart.x);
  Vector3 expected = FlowerEyeStart;
  float t = 118.7f;
  for (int frame = 0; frame < 4; ++frame, t += 0.125f) {
    expected = FlowerTurnByHand(FlowerTurnByHand(expected, t, 0.125), t, 0.125);
    DrawFlowerFrame(t, 0.125f);
  }
  ExpectCleanAfterState();
  EXPECT_VECTOR_NEAR(FlowerSceneEye(), expected, 2e-3);
  // The ending picks the camera up where scene 10 left it.
  expected = FlowerTurnByHand(FlowerTurnByHand(expected, 198.0, 0.125), 198.0, 0.125);
  DrawFlowerFrame(198.0f, 0.125f);
  EXPECT_VECTOR_NEAR(FlowerSceneEye(), expected, 2e-3);
  const std::vector<uint8_t> frame = ReadFramePixels();
  long lit = 0;
  for (size_t at = 0; at < frame.size(); at += 4) lit += frame[at] + frame[at + 1] + frame[at + 2] > 60;
  EXPECT_GT(lit, 800 * 600 / 20);
}

// Drawn at twice the size, the blurred glow spreads as far and lies where it does at 800 x 600
// (about 1 level apart on average; 2.4 with the blur's taps and edges of the 128 texture).
TEST(FlowerSceneFrame, TwiceTheSizeDrawsTheSameGlow) {
  if (!std::filesystem::exists(GeneratedDataPath("flower.3ds"))) GTEST_SKIP() << "no generated data";
  EnsureGLContext();
  LoadSceneIn(GeneratedDataPath(""), LoadFlowerScene);
  const SizeDifference difference =
      DifferenceAtTwiceTheSize([] { ResetFlowerScene(); }, [] { DrawFlowerFrame(118.7f, 0.0f); });
  EXPECT_LT(difference.mean, 1.5);
  EXPECT_LT(difference.worst, 32.0);
  ExpectCleanAfterState();
}

}  // namespace
