// Gentle mode: which flashes the show keeps, how strongly they are drawn, and the live limiter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>

#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/ShowClock.h"

namespace {
constexpr double StepsPerSecond = 12.4;

class Gentle : public testing::Test {
 protected:
  void SetUp() override { ResetBeatClock(); }
  void TearDown() override {
    GentleMode = false;
    ResetBeatClock();
    ShowTime = FrameDelta = 0;
  }

  // Runs the beat clock over the show at 60 frames a second and returns, over every one-second
  // window, the most full-screen changes it holds that include a flash: flashes and inversions
  // drawn above the soft level (each counted where it begins) and cuts from one scene to another.
  // (The quick cuts late in the show put more than three cuts alone into some seconds; gentle
  // mode keeps no flash there.)
  static int MostChangesWithAFlashInAnySecond() {
    struct Change {
      double time;
      bool flash;
    };
    std::deque<Change> changes;
    int most = 0;
    bool wasStrong = false;
    int previousScene = 0;
    for (int frame = 0; frame < 198 * 60; ++frame) {
      ShowTime = frame / 60.0f;
      FrameDelta = 1 / 60.0f;
      RunBeatClock();
      const bool strong = FlashOpacity() > SoftFlashLevel || InversionLevel() > SoftFlashLevel;
      if (strong && !wasStrong) changes.push_back({ShowTime, true});
      if (CurrentScene != previousScene && previousScene != 0) changes.push_back({ShowTime, false});
      wasStrong = strong;
      previousScene = CurrentScene;
      while (!changes.empty() && changes.front().time <= ShowTime - 1.0) changes.pop_front();
      const bool anyFlash = std::any_of(changes.begin(), changes.end(), [](const Change& c) { return c.flash; });
      if (anyFlash) most = std::max(most, static_cast<int>(changes.size()));
    }
    return most;
  }
};
}  // namespace

TEST_F(Gentle, DefaultShowKeepsEveryPulseAtFullStrength) {
  int flashFrames = 0;
  for (int frame = 0; frame < 198 * 30; ++frame) {
    ShowTime = frame / 30.0f;
    FrameDelta = 1 / 30.0f;
    RunBeatClock();
    ASSERT_EQ(FlashOpacity(), Pulse1) << "at " << ShowTime << " s";
    ASSERT_EQ(InversionLevel(), Pulse2) << "at " << ShowTime << " s";
    flashFrames += Pulse1 > 0 || Pulse2 > 0;
  }
  EXPECT_GT(flashFrames, 500);
  EXPECT_EQ(SceneInversionLevel(), 1.0f);
  // Without gentle mode the default show does put more than three into one second.
  EXPECT_GT(MostChangesWithAFlashInAnySecond(), 3);
}

TEST_F(Gentle, NoSecondOfTheShowHoldsMoreThanThreeStrongFlashes) {
  GentleMode = true;
  EXPECT_LE(MostChangesWithAFlashInAnySecond(), 3);
}

TEST_F(Gentle, KeptFlashesAreWeakerAndDroppedOnesStayFaintlyOnTheBeat) {
  GentleMode = true;
  int kept = 0, dropped = 0;
  for (int step = 0; step < PulseTrackLength; ++step) {
    const int kind = PulseTrackAt(step);
    if (kind != 1 && kind != 2) {
      EXPECT_FALSE(GentleKeepsFlash(step));
      continue;
    }
    // The level's peak: the end of the rise before a kind-1 step, anywhere inside a kind-2 step.
    ShowTime = static_cast<float>((step + (kind == 1 ? -0.01 : 0.5)) / StepsPerSecond);
    RunBeatClock();
    ASSERT_EQ(BeatStep, kind == 1 ? step - 1 : step);
    const float level = kind == 1 ? FlashOpacity() : InversionLevel();
    if (GentleKeepsFlash(step)) {
      ++kept;
      EXPECT_NEAR(level, kind == 1 ? KeptFlashOpacity : KeptInversionLevel, 0.01f) << "step " << step;
    } else {
      ++dropped;
      EXPECT_GT(level, 0.0f) << "step " << step << ": the beat is still seen";
      EXPECT_LE(level, SoftFlashLevel) << "step " << step;
    }
  }
  // The show's 272 kind-1 and kind-2 events: the sparse ones stay, the dense runs thin out.
  EXPECT_EQ(kept + dropped, 272);
  EXPECT_GT(kept, 60);
  EXPECT_GT(dropped, 60);
  EXPECT_TRUE(GentleKeepsFlash(64)) << "the first flash of the show";
  EXPECT_EQ(SceneInversionLevel(), KeptInversionLevel);
}

TEST_F(Gentle, TheRiseBeforeAKeptFlashBelongsToThatFlash) {
  GentleMode = true;
  // Steps 696 to 704 are a run of kind-1 events ending on the cut to the dominoes; the first two
  // fit beside the cut, the rest are softened.
  int keptInRun = 0;
  for (int step = 696; step <= 704; ++step) keptInRun += GentleKeepsFlash(step);
  EXPECT_EQ(keptInRun, 2);
  EXPECT_TRUE(GentleKeepsFlash(696) && GentleKeepsFlash(697));
  for (int step = 695; step <= 704; ++step) {
    ShowTime = static_cast<float>((step + 0.5) / StepsPerSecond);
    RunBeatClock();
    const float share = FlashOpacity() / Pulse1;
    EXPECT_NEAR(share, GentleKeepsFlash(step + 1) ? KeptFlashOpacity : SoftFlashLevel, 1e-5f)
        << "rising towards step " << step + 1;
  }
}

TEST(FlashRateLimiter, PassesEveryValueThroughWithoutGentleMode) {
  GentleMode = false;
  FlashRateLimiter limiter;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(limiter.Opacity(i % 2 ? 1.5f : 0.0f, i * 0.01), i % 2 ? 1.5f : 0.0f);
  EXPECT_TRUE(std::isnan(limiter.Opacity(NAN, 1.0)));
}

TEST(FlashRateLimiter, HoldsAStrobeToThreeHalfStrengthFlashesInAnyWindow) {
  GentleMode = true;
  FlashRateLimiter limiter;
  // Ten flashes a second for three seconds, one packet every 50 ms.
  std::deque<double> onsets;
  float previous = 0;
  int flashes = 0;
  for (int packet = 0; packet < 60; ++packet) {
    const double seconds = packet * 0.05;
    const float shown = limiter.Opacity(packet % 2 ? 0.0f : 1.0f, seconds);
    EXPECT_LE(shown, KeptFlashOpacity);
    if (shown - previous > SoftFlashLevel) {
      ++flashes;
      onsets.push_back(seconds);
      while (onsets.front() <= seconds - 1.0) onsets.pop_front();
      EXPECT_LE(onsets.size(), 3u) << "at " << seconds << " s";
    } else if (shown > previous) {
      EXPECT_LE(shown, SoftFlashLevel + 1e-6f) << "a held flash is only a soft step";
    }
    previous = shown;
  }
  EXPECT_GE(flashes, 6);  // the limit spaces them out, it does not stop them
  GentleMode = false;
}

TEST(FlashRateLimiter, SlowFlashesAndRampsPassAtHalfOpacity) {
  GentleMode = true;
  FlashRateLimiter limiter;
  // One flash a second: every one is kept.
  for (int second = 0; second < 5; ++second) {
    EXPECT_FLOAT_EQ(limiter.Opacity(0.8f, second + 0.0), 0.4f) << second;
    EXPECT_EQ(limiter.Opacity(0.0f, second + 0.5), 0.0f);
  }
  // A ramp up within one flash is not a new flash each packet.
  FlashRateLimiter ramp;
  for (int i = 0; i <= 20; ++i) EXPECT_FLOAT_EQ(ramp.Opacity(i / 20.0f, 10 + i * 0.01), i / 40.0f);
  EXPECT_EQ(ramp.Opacity(NAN, 11), 0.0f);
  EXPECT_EQ(ramp.Opacity(-1, 11.1), 0.0f);
  GentleMode = false;
}
