// The greetings scene: the sliding greetings, the burst and the drawn frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SceneLoading.h"
#include "platform/GL.h"
#include "scenes/GreetingsScene.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

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

TEST(GreetingsMotion, CubesBreatheWithTheirVertexAndTheBurstGrowsPastSix) {
  // A sculpture cube scales by sin(0.02 x + 3t) + sin(0.04 y + 4t); z plays no part.
  const Vector3 v{50.0f, -30.0f, 7.0f};
  EXPECT_NEAR(SculptureCubeScale(v, 0.4f), std::sin(1 + 1.2) + std::sin(-1.2 + 1.6), 1e-5);
  EXPECT_NEAR(SculptureCubeScale({50.0f, -30.0f, -90.0f}, 0.4f), SculptureCubeScale(v, 0.4f), 1e-6);
  EXPECT_NEAR(SculptureCubeScale({0.0f, 0.0f, 0.0f}, 0.0f), 0.0f, 1e-6);  // collapses to a point
  // A burst cube: (s - 6) (sin(0.02 x + 3t) + sin(0.04 y + 4t) / 4), nothing at s = 6.
  EXPECT_EQ(BurstCubeScale(v, 6.0f, 0.4f), 0.0f);
  EXPECT_NEAR(BurstCubeScale(v, 7.5f, 0.4f), 1.5 * (std::sin(2.2) + std::sin(0.4) / 4), 1e-5);
  EXPECT_NEAR(BurstCubeScale(v, 7.0f, 52.0f), std::sin(1 + 156) + std::sin(-1.2 + 208) / 4, 1e-4);
}

namespace {
// One frame as the show draws it: cleared, identity modelview, then the scene.
void DrawFrame(float s, float p) {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  DrawGreetingsScene(s, p);
}

using GreetingsSceneFrame = SceneFrameTest<LoadGreetingsScene>;
}  // namespace

TEST_F(GreetingsSceneFrame, GreetingsAppearOnlyOnceSlidIn) {
  ShowTime = 50.0f;
  // The upper band of the greetings picture, above the sculpture.
  DrawFrame(0.0f, 0.0f);
  const double away = MeanBrightness(60, 460, 700, 540);
  DrawFrame(4.0f, 0.0f);
  const double shown = MeanBrightness(60, 460, 700, 540);
  EXPECT_GT(shown, away + 10.0) << shown << " vs " << away;
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GreetingsSceneFrame, BurstCloudBrightensTheWholeFrame) {
  ShowTime = 55.0f;
  GLint depthBefore = 0, depthAfter = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  DrawFrame(5.9f, 0.0f);
  const double before = MeanBrightness(0, 0, 800, 600);
  DrawFrame(8.0f, 0.0f);
  const double after = MeanBrightness(0, 0, 800, 600);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_GT(after, before + 100.0) << after << " vs " << before;
}

TEST_F(GreetingsSceneFrame, MissingModelsLeaveTheCubesOutAndTheFrameStillDraws) {
  TempDir empty;
  {
    MessageLog log;
    LoadSceneIn(empty.path, LoadGreetingsScene);
  }
  ShowTime = 55.0f;
  DrawFrame(7.0f, 0.5f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  MessageLog quiet;
  LoadSceneIn(GeneratedDataPath(""), LoadGreetingsScene);
}
