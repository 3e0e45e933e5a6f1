// The show frame in the real GL context: point fields, pulse overlays and the ending.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "scenes/Scenes.h"
#include "show/Schedule.h"
#include "support/TestSupport.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
uint32_t AdvanceSeed(uint32_t seed, int draws) {
  while (draws-- > 0) seed = seed * 134775813u + 1u;
  return seed;
}

float Draw(uint32_t& seed) {
  seed = AdvanceSeed(seed, 1);
  return static_cast<float>(seed / 4294967296.0);
}

// A seed whose next point of a point field lands well inside the view from (4, 0, 0).
uint32_t SeedOfAVisiblePoint() {
  for (uint32_t candidate = 1;; ++candidate) {
    uint32_t seed = candidate;
    const float z = Draw(seed) * 100 - 100 + 50;
    const float y = Draw(seed) * 100 - 100 + 50;
    const float x = Draw(seed) * 100 - 100;
    const float depth = 4 - x;
    if (depth > 20 && std::abs(y) / depth < 0.25f && std::abs(z) / depth < 0.3f) return candidate;
  }
}

struct LitArea {
  int count = 0;
  int width = 0;
  int height = 0;
};

LitArea FindLitPixels(const std::vector<uint8_t>& pixels) {
  LitArea area;
  int minX = 800, maxX = -1, minY = 600, maxY = -1;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 4];
      if (p[0] + p[1] + p[2] < 48) continue;
      ++area.count;
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  if (area.count) area.width = maxX - minX + 1, area.height = maxY - minY + 1;
  return area;
}

double MeanBrightness(const std::vector<uint8_t>& pixels) {
  double sum = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) sum += pixels[i] + pixels[i + 1] + pixels[i + 2];
  return sum / (pixels.size() / 4 * 3);
}

class Schedule : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    // The ending draws the flower scene; give it its data when the build has generated it.
    const std::filesystem::path data = GeneratedDataPath("");
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (std::filesystem::is_directory(data, error) && chdir(data.c_str()) == 0) {
      LoadFlowerScene();
      if (chdir(here.c_str()) != 0) ADD_FAILURE() << "could not return to " << here;
    }
  }
  void SetUp() override {
    ResetBeatClock();
    RestorePerspective();
    savedSeed = RandomSeed;
  }
  void TearDown() override {
    SetFrameHook(nullptr);
    ResetBeatClock();
    ShowTime = FrameDelta = 0;
    RandomSeed = savedSeed;
  }

  // DrawShowFrame at a show time, returning the frame as it was handed to PresentFrame.
  std::vector<uint8_t> ShowFrameAt(float time) {
    ShowTime = time;
    FrameDelta = 1 / 60.0f;
    std::vector<uint8_t> frame;
    SetFrameHook([&frame] { frame = ReadFramePixels(); });
    DrawShowFrame();
    SetFrameHook(nullptr);
    return frame;
  }

  // Scene, star field and overlays from a fixed generator state, without the clock or the swap.
  std::vector<uint8_t> ComposedFrame(uint32_t seed) {
    RandomSeed = seed;
    // The burst keeps whatever point smoothing the previous frame's stars left; start alike.
    glDisable(GL_POINT_SMOOTH);
    glClearColor(0, 0, 0, 1);
    BeginFrame();
    DrawScheduledScene();
    DrawStarField(false);
    DrawPulseOverlays();
    return ReadFramePixels();
  }

  uint32_t savedSeed = 0;
};
}  // namespace

TEST_F(Schedule, InversionPulseGivesTheComplementOfTheSameFrame) {
  ShowTime = 170.0f;  // 30001 stars
  CurrentScene = 14;
  SceneTime = 0.001f;  // 11 burst points
  Pulse2 = 0;
  const std::vector<uint8_t> plain = ComposedFrame(4242);
  ASSERT_GT(FindLitPixels(plain).count, 1000) << "the frame must have something to invert";
  Pulse2 = 1;
  const std::vector<uint8_t> inverted = ComposedFrame(4242);
  int mismatches = 0;
  for (size_t i = 0; i < plain.size(); i += 4)
    for (int c = 0; c < 3; ++c) mismatches += std::abs(255 - plain[i + c] - inverted[i + c]) > 1;
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Schedule, FlashAddsPulse1TimesWhite) {
  CurrentScene = 0;
  Pulse1 = 0.5f;
  const std::vector<uint8_t> frame = ComposedFrame(1);
  EXPECT_NEAR(frame[(300 * 800 + 400) * 4], 128, 2);
  EXPECT_NEAR(MeanBrightness(frame), 128, 2);
  // After the overlays the enables are as the frame left them (the flash restores them).
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Schedule, PointBurstAtTheStartOfItsSceneDrawsExactlyOnePoint) {
  CurrentScene = 14;
  SceneTime = 0;
  const uint32_t seed = SeedOfAVisiblePoint();
  const LitArea one = FindLitPixels(ComposedFrame(seed));
  EXPECT_EQ(RandomSeed, AdvanceSeed(seed, 3)) << "three draws per point";
  EXPECT_GT(one.count, 0);
  EXPECT_LE(one.width, 5);
  EXPECT_LE(one.height, 5);

  SceneTime = 0.0002f;  // rounds to 2: three points
  ComposedFrame(seed);
  EXPECT_EQ(RandomSeed, AdvanceSeed(seed, 9));
}

TEST_F(Schedule, StarFieldStartsWithOnePointJustAfter160Seconds) {
  CurrentScene = 0;
  ShowTime = 160.0f;
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, 99u) << "no star at exactly 160 s";
  ShowTime = 160.0001f;  // (t - 160) * 3000 = 0.32: one point
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, AdvanceSeed(99, 3));
  ShowTime = 161.0f;
  ComposedFrame(99);
  EXPECT_EQ(RandomSeed, AdvanceSeed(99, 3 * 3001));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "the star field turns the depth test back on";
}

TEST_F(Schedule, EndingTakesOverAt198SecondsAndLeavesTheClockAlone) {
  ShowFrameAt(2416.5f / 12.4f);  // the last switch, to the flowers
  ShowFrameAt(197.99f);
  EXPECT_EQ(BeatStep, 2455);
  EXPECT_EQ(CurrentScene, 10);

  StepPosition = -1;
  CurrentScene = 77;
  const std::vector<uint8_t> ending = ShowFrameAt(198.0f);
  EXPECT_EQ(StepPosition, -1) << "the clock does not run during the ending";
  EXPECT_EQ(CurrentScene, 77);
  EXPECT_GT(FindLitPixels(ending).count, 1000) << "the ending's stars";
}

TEST_F(Schedule, EndingFadesToBlack) {
  const double beforeFade = MeanBrightness(ShowFrameAt(203.5f));
  const double lastSecond = MeanBrightness(ShowFrameAt(206.5f));
  const double afterEnd = MeanBrightness(ShowFrameAt(207.0f));
  EXPECT_GT(beforeFade, 0);
  EXPECT_LT(lastSecond, beforeFade * 0.75);
  EXPECT_LT(afterEnd, 0.5);
}
