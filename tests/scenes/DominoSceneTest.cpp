// The domino scene: the toppling wave, the riding camera, the rolling up vector and its pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/GL.h"
#include "scenes/DominoScene.h"
#include "scenes/Scenes.h"
#include "shell/Globals.h"
#include "SceneLoading.h"
#include "support/TestSupport.h"

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

TEST(DominoMotion, CameraRidesAlongTheLine) {
  const Vector3 eye = DominoEye(0.0f);
  const Vector3 centre = DominoCentre(0.0f);
  EXPECT_EQ(eye.x, 0.0f);
  EXPECT_EQ(eye.y, 20.0f);
  EXPECT_EQ(eye.z, 0.0f);
  EXPECT_EQ(centre.x, 10.0f);
  EXPECT_EQ(centre.z, 0.0f);
  // Negative fall positions (the end of the backwards run) put the eye behind the line's start.
  EXPECT_LT(DominoEye(-1.0f).z, 0.0f);
  EXPECT_LT(DominoCentre(-1.0f).z, DominoEye(-1.0f).z);
}

TEST(DominoMotion, RollVectorTurnsAboutYThenZ) {
  Vector3 roll{0.0f, 1.0f, 0.0f};
  // A quarter second: 5 degrees about y (no effect on the y axis), then 20 degrees about z.
  TurnRollVector(roll, 0.25f);
  const float a = 20.0f * 3.14159265f / 180.0f;
  EXPECT_NEAR(roll.x, -std::sin(a), 1e-5f);
  EXPECT_NEAR(roll.y, std::cos(a), 1e-5f);
  EXPECT_NEAR(roll.z, 0.0f, 1e-6f);
  // No time, no turn; the length stays one over many frames.
  const Vector3 before = roll;
  TurnRollVector(roll, 0.0f);
  EXPECT_EQ(roll.x, before.x);
  EXPECT_EQ(roll.y, before.y);
  for (int frame = 0; frame < 10000; ++frame) TurnRollVector(roll, 1.0f / 60.0f);
  EXPECT_NEAR(std::sqrt(roll.x * roll.x + roll.y * roll.y + roll.z * roll.z), 1.0f, 1e-3f);
}

namespace {
using DominoSceneFrame = SceneFrameTest<LoadDominoScene>;
}  // namespace

TEST_F(DominoSceneFrame, RollVectorTurnsOncePerFrameAndCarriesOverToTheBackwardsRun) {
  Vector3 expected = DominoRollVector();
  FrameDelta = 0.1f;
  for (int frame = 0; frame < 3; ++frame) {
    DrawDominoScene(1.17f * 0.1f * static_cast<float>(frame));
    TurnRollVector(expected, 0.1f);
  }
  // The backwards run is a later visit: the roll goes on from where the forward run left it.
  FrameDelta = 0.05f;
  DrawDominoScene(13.0f);
  TurnRollVector(expected, 0.05f);
  const Vector3 roll = DominoRollVector();
  EXPECT_FLOAT_EQ(roll.x, expected.x);
  EXPECT_FLOAT_EQ(roll.y, expected.y);
  EXPECT_FLOAT_EQ(roll.z, expected.z);
  EXPECT_LT(roll.y, 0.9f);  // 38 degrees about z by now
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
