// The greetings scene: the sliding greetings, the cube scales and its pictures.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/GreetingsScene.h"

TEST(GreetingsMotion, GreetingsSlideInHoldAndFlyOff) {
  EXPECT_EQ(GreetingsSlideX(0.0f), -800.0f);
  EXPECT_NEAR(GreetingsSlideX(2.0f), 30.0f, 1e-4f);
  EXPECT_EQ(GreetingsSlideX(4.0f), 30.0f);
  EXPECT_EQ(GreetingsSlideX(6.0f), 30.0f);
  EXPECT_NEAR(GreetingsSlideX(7.0f), 830.0f, 1e-3f);
  // The slide in decelerates: half the way is covered in the first quarter of its time.
  EXPECT_NEAR(GreetingsSlideX(0.5f), -385.0f, 1e-3f);
  // A scene clock just below zero keeps the picture off screen rather than producing NaN.
  EXPECT_EQ(GreetingsSlideX(-0.01f), -800.0f);
}

TEST(GreetingsMotion, BurstCubesGrowWithTheSceneClock) {
  const Vector3 v{40.0f, -25.0f, 7.0f};
  const float t = 50.3f;
  EXPECT_EQ(BurstCubeScale(v, 6.0f, t), 0.0f);
  const float atSeven = BurstCubeScale(v, 7.0f, t);
  EXPECT_NEAR(BurstCubeScale(v, 8.0f, t), 2.0f * atSeven, 1e-5f);
}
