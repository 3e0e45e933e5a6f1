// Rail and water scene: camera paths, floor heights, the wheels' first frame, the water's splashes
// and the drawn frame's overlays and after-state in the real GL context.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/GL.h"
#include "render/Overlay.h"
#include "scenes/RailScene.h"
#include "scenes/SceneLoading.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {

float Horizontal(const Vector3& v) { return std::sqrt(v.x * v.x + v.z * v.z); }

}  // namespace

TEST(RailCamera, EachVariantOrbitsAtItsDistanceAndHeight) {
  // Variant 1 climbs without bound, 100 units a second, while it turns 10 degrees a second.
  RailCamera c = RailCameraFor(1, 9.0f);
  EXPECT_FLOAT_EQ(c.eye.y, 1000.0f);
  EXPECT_NEAR(Horizontal(c.eye), 250.0f * std::numbers::sqrt2_v<float>, 1e-3f);
  EXPECT_NEAR(std::atan2(c.eye.z, c.eye.x) * 180 / std::numbers::pi, 45.0 + 90.0, 1e-3);
  c = RailCameraFor(2, 1.0f);
  EXPECT_NEAR(Horizontal(c.eye), 1000.0f * std::numbers::sqrt2_v<float>, 1e-2f);
  EXPECT_FLOAT_EQ(c.eye.y, static_cast<float>(1330 + 100 * std::sin(1.5)));
  EXPECT_EQ(c.centre.y, 300.0f);
  // Variant 4 turns the other way round from variant 3.
  const RailCamera a = RailCameraFor(4, 0.5f), b = RailCameraFor(3, 0.5f);
  EXPECT_FLOAT_EQ(a.eye.y, static_cast<float>(1830 + 100 * std::sin(0.75)));
  EXPECT_LT(std::atan2(a.eye.z, a.eye.x) - std::atan2(500.0f, 500.0f), -0.5f);
  EXPECT_GT(std::atan2(b.eye.z, b.eye.x) - std::atan2(800.0f, 800.0f), 0.5f);
  EXPECT_EQ(b.up.x, 0.7f);
}

TEST(RailFloor, LevelBowlAndWaterDrivenHeights) {
  TWaterSim water;
  water.Create();
  water.Height[5][7] = -90.0f;
  EXPECT_EQ(RailBrickHeight(1, 5, 7, 3.0f, water), 0.0f);
  EXPECT_EQ(RailBrickHeight(2, 20, 20, 3.0f, water), 0.0f);
  EXPECT_EQ(RailBrickHeight(3, 20, 30, 3.0f, water), 500.0f);
  EXPECT_FLOAT_EQ(RailBrickHeight(2, 0, 0, 3.0f, water), 50.0f * std::sqrt(800.0f));
  // Variant 4: no effect at scene time 1, inverted before it.
  EXPECT_EQ(RailBrickHeight(4, 5, 7, 1.0f, water), 0.0f);
  EXPECT_FLOAT_EQ(RailBrickHeight(4, 5, 7, 0.0f, water), 3.0f);
  EXPECT_FLOAT_EQ(RailBrickHeight(4, 5, 7, 4.0f, water), -9.0f);
  EXPECT_EQ(RailBrickHeight(4, 6, 7, 4.0f, water), 0.0f);
}

TEST(RailOverlayValues, WheelsStayFiniteInTheFirstFrameAndTheGlowSwings) {
  float first = 1, second = 1;
  RailWheelAngles(1, 0.0f, first, second);
  EXPECT_EQ(first, 0.0f);
  EXPECT_EQ(second, 0.0f);
  RailWheelAngles(1, 2.0f, first, second);
  EXPECT_EQ(first, 2500.0f);
  EXPECT_EQ(second, -2470.0f);
  RailWheelAngles(3, 2.0f, first, second);
  EXPECT_EQ(first, 200.0f);
  EXPECT_EQ(second, -170.0f);
  const float quarter = std::numbers::pi_v<float> / 8;  // sin(4 st) = 1
  EXPECT_NEAR(RailGlowAlpha(quarter), 2.2f, 1e-5f);
  EXPECT_NEAR(RailGlowAlpha(3 * quarter), -0.4f, 1e-5f);
}

TEST(RailWater, SplashesDrawStrengthColumnAndRowInThatOrder) {
  const uint32_t saved = RandomSeed;
  uint32_t splashing = 1;
  for (RandomSeed = splashing; Random() >= 0.03f; RandomSeed = ++splashing) {
  }
  const float strength = Random() * 1500.0f;
  const int column = static_cast<int>(std::nearbyint(Random() * 40.0f));
  const int row = static_cast<int>(std::nearbyint(Random() * 40.0f));
  const uint32_t after = RandomSeed;
  TWaterSim water;
  water.Create();
  water.Splash(20, 20, 10.0f);
  RandomSeed = splashing;
  const float frame = 1.0f / 60;
  AdvanceRailWater(water, frame);
  EXPECT_EQ(RandomSeed, after);
  EXPECT_EQ(water.Height[20][20], -10.0f * (frame * 70.0f));  // stepped by 70 x the frame first
  EXPECT_EQ(water.Velocity[row][column], strength);
  RandomSeed = saved;
}

TEST(RailWater, SixtiethOfASecondIsExactlyOneStepAndLongFramesAddUpToShortOnes) {
  TWaterSim single, moved;
  single.Create();
  single.Damping = 0.98f;
  single.Splash(20, 20, 1500.0f);
  moved = single;
  for (int n = 0; n < 30; ++n) {
    single.Step(1.0f / 60 * 70.0f);
    MoveRailWater(moved, 1.0f / 60);
  }
  EXPECT_EQ(std::memcmp(&single, &moved, sizeof single), 0) << "bit for bit the single step";

  // Half a second as one frame, as 2 and as 30 frames: the same ripple within a few percent.
  TWaterSim longFrame = moved, twoFrames = moved, shortFrames = moved;
  MoveRailWater(longFrame, 0.5f);
  for (int n = 0; n < 2; ++n) MoveRailWater(twoFrames, 0.25f);
  for (int n = 0; n < 30; ++n) MoveRailWater(shortFrames, 1.0f / 60);
  float largest = 0, apart = 0, twoApart = 0;
  for (int i = 0; i < TWaterSim::Size; ++i)
    for (int j = 0; j < TWaterSim::Size; ++j) {
      largest = std::max(largest, std::fabs(shortFrames.Height[i][j]));
      apart = std::max(apart, std::fabs(longFrame.Height[i][j] - shortFrames.Height[i][j]));
      twoApart = std::max(twoApart, std::fabs(twoFrames.Height[i][j] - shortFrames.Height[i][j]));
    }
  EXPECT_EQ(apart, 0.0f) << "0.5 s is 30 steps of 1/60 s";
  EXPECT_LT(twoApart, 0.05f * largest);
  // A stall of three seconds moves the water by half a second only.
  TWaterSim stalled = moved;
  MoveRailWater(stalled, 3.0f);
  EXPECT_EQ(std::memcmp(&stalled, &longFrame, sizeof stalled), 0);
}

TEST(RailWater, SplashesComeAsOftenPerSecondAtEveryFrameRate) {
  const uint32_t saved = RandomSeed;
  RandomSeed = 777;
  // The splashes of 100 seconds at fps frames a second, counted from the generator's draws: one
  // for each step's chance and three more for each splash.
  auto splashesAt = [](int fps) {
    TWaterSim water;
    water.Create();
    const float frame = 1.0f / static_cast<float>(fps);
    const int steps = SplitFrame(frame).count;
    int splashes = 0;
    for (int n = 0; n < 100 * fps; ++n) {
      uint32_t seed = RandomSeed;
      AdvanceRailWater(water, frame);
      int draws = 0;
      for (; seed != RandomSeed && draws <= 4 * steps; ++draws) seed = seed * 134775813u + 1u;
      splashes += (draws - steps) / 3;
    }
    return splashes;
  };
  // 3 % per 1/60 s: 1.8 a second, 180 in 100 s, give or take the draws' spread (about 13).
  for (int fps : {2, 13, 30, 60, 144}) EXPECT_NEAR(splashesAt(fps), 180, 50) << fps << " fps";
  RandomSeed = saved;
}

class RailSceneFrame : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    MessageLog log;  // without a data set every missing file is reported; the scene goes on
    LoadSceneIn(GeneratedDataPath(""), LoadRailScene);
  }
  void SetUp() override { saved = RandomSeed; }
  void TearDown() override {
    RandomSeed = saved;
    ShowTime = FrameDelta = 0;
  }
  uint32_t saved = 0;
};

TEST_F(RailSceneFrame, LeavesFogAndClientArraysOffAndTheMatrixStackBalanced) {
  ShowTime = 3.0f;
  FrameDelta = 1.0f / 60;
  for (int variant = 1; variant <= 4; ++variant) {
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    DrawRailScene(variant, 1.5f, 0.0f);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore) << variant;
    EXPECT_FALSE(glIsEnabled(GL_FOG)) << variant;
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY)) << variant;
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY)) << variant;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << variant;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << variant;
  }
}

TEST_F(RailSceneFrame, FirstFrameOfVariantOneDrawsTheWheelUnturned) {
  // Scene time 0: the first wheel's angle would be infinite. It is drawn as an upright square,
  // so a point near its corner is covered and one just outside the square is not.
  ShowTime = 0.0f;
  FrameDelta = 0.0f;
  DrawRailScene(1, 0.0f, 0.0f);
  const Pixel centre = ReadPixel(30, 130), nearCorner = ReadPixel(150, 250),
              beyond = ReadPixel(30, 262);
  EXPECT_GT(centre.r, 60);
  EXPECT_GT(nearCorner.r, 60);
  EXPECT_LT(beyond.r, centre.r);
}

TEST_F(RailSceneFrame, GlowPictureAppearsOnlyWhileItsAlphaIsPositive) {
  // Brightness of the middle of the glow picture's square, from a frame at scene time st.
  auto glowArea = [](float st) {
    DrawRailScene(2, st, 0.0f);
    const std::vector<uint8_t> pixels = ReadFramePixels();
    long sum = 0;
    for (int y = 386; y < 540; ++y)
      for (int x = 456; x < 656; ++x) {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 4];
        sum += p[0] + p[1] + p[2];
      }
    return sum / (154 * 200);
  };
  ShowTime = 3.0f;
  FrameDelta = 1.0f / 60;
  const float quarter = std::numbers::pi_v<float> / 8;
  const long bright = glowArea(quarter), dark = glowArea(3 * quarter);
  EXPECT_GT(bright, dark + 10) << bright << " vs " << dark;
}
