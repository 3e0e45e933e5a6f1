// The domino scene: the toppling wave, the riding camera, the rolling up vector and its pictures.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/DominoScene.h"

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
