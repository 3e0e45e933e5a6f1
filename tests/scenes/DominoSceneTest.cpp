// The domino scene: the toppling wave, the rolling camera kept across frames, the drawn frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "HandRotation.h"
#include "SceneLoading.h"
#include "platform/GL.h"
#include "scenes/DominoScene.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

TEST(DominoMotion, DominoesTopplePastTheirTurnAndStopAtSeventyDegrees) {
  for (int i = 0; i < DominoCount; ++i) EXPECT_EQ(DominoTilt(i, 0.0f), 0.0f) << i;
  EXPECT_NEAR(DominoTilt(0, 0.02f), 4.0f, 1e-4f);
  EXPECT_EQ(DominoTilt(0, 0.35f), 70.0f);
  EXPECT_EQ(DominoTilt(0, 5.0f), 70.0f);
  // Domino i starts when x passes i / 10: the next one is still upright.
  EXPECT_GT(DominoTilt(5, 0.52f), 0.0f);
  EXPECT_EQ(DominoTilt(6, 0.52f), 0.0f);
  // At the start of the backwards run every domino lies down; past its end all stand again.
  for (int i = 0; i < DominoCount; ++i) {
    EXPECT_EQ(DominoTilt(i, 13.0f), 70.0f) << i;
    EXPECT_EQ(DominoTilt(i, -0.5f), 0.0f) << i;
  }
}

namespace {
using DominoSceneFrame = SceneFrameTest<LoadDominoScene>;

// One frame's roll of the camera's up vector: 20 degrees a second about y, then 80 about z.
Vector3 RollByHand(const Vector3& roll, double dt) {
  return TurnedByHand(roll, 0, 20 * dt, 80 * dt);
}
}  // namespace

TEST(DominoMotion, RollVectorTurnsTwentyDegreesASecondAboutYThenEightyAboutZ) {
  // Half a second from (1, 0, 0): 10 degrees about y lifts it into z, then 40 about z.
  Vector3 roll{1, 0, 0};
  TurnRollVector(roll, 0.5f);
  const double y = 10 * M_PI / 180, z = 40 * M_PI / 180;
  EXPECT_NEAR(roll.x, std::cos(y) * std::cos(z), 1e-6);
  EXPECT_NEAR(roll.y, std::cos(y) * std::sin(z), 1e-6);
  EXPECT_NEAR(roll.z, std::sin(y), 1e-6);
  // From the loaded (0, 1, 0) the turn about y does nothing at first: 8 degrees about z alone.
  Vector3 start{0, 1, 0};
  TurnRollVector(start, 0.1f);
  EXPECT_NEAR(start.x, -std::sin(8 * M_PI / 180), 1e-6);
  EXPECT_NEAR(start.y, std::cos(8 * M_PI / 180), 1e-6);
  EXPECT_EQ(start.z, 0.0f);
}

TEST_F(DominoSceneFrame, RollVectorTurnsOncePerFrameAndCarriesOverToTheBackwardsRun) {
  Vector3 expected = DominoRollVector();
  FrameDelta = 0.1f;
  for (int frame = 0; frame < 3; ++frame) {
    DrawDominoScene(1.17f * 0.1f * static_cast<float>(frame));
    expected = RollByHand(expected, 0.1);
  }
  // The backwards run is a later visit: the roll goes on from where the forward run left it.
  FrameDelta = 0.05f;
  DrawDominoScene(13.0f);
  expected = RollByHand(expected, 0.05);
  const Vector3 roll = DominoRollVector();
  EXPECT_VECTOR_NEAR(roll, expected, 1e-5);
  EXPECT_LT(roll.y, 0.9f);  // 28 degrees about z by now
}

TEST_F(DominoSceneFrame, LastPassFillsTheWindowAndLeavesTheDocumentedState) {
  FrameDelta = 1.0f / 60;
  GLint depthBefore = 0, depthAfter = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  DrawDominoScene(2.0f);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  EXPECT_EQ(depthAfter, depthBefore);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  // The arrow sprite switches fog off last; the light stays on for the next frame to turn off.
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The full-size pass reaches beyond the 256 x 256 capture square: the line and its floor show
  // in the upper half of the window, away from the logo.
  EXPECT_GT(MeanBrightness(300, 256, 800, 600), 5.0);
}

TEST_F(DominoSceneFrame, MissingFilesLeaveAFrameThatStillDraws) {
  TempDir empty;
  {
    MessageLog log;
    LoadSceneIn(empty.path, LoadDominoScene);
    EXPECT_FALSE(log.messages.empty());  // each missing picture is reported
  }
  EXPECT_EQ(DominoRollVector().y, 1.0f);
  FrameDelta = 1.0f / 60;
  DrawDominoScene(0.5f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  MessageLog quiet;
  LoadSceneIn(GeneratedDataPath(""), LoadDominoScene);
}
