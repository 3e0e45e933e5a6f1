// The beat clock: steps from ShowTime, scene switches and the four pulse levels.
#include <gtest/gtest.h>

#include <cmath>

#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
constexpr float StepsPerSecond = 12.4f;

void ClockFrame(float showTime, float frameDelta) {
  ShowTime = showTime;
  FrameDelta = frameDelta;
  RunBeatClock();
}

// ShowTime at a given step position (steps with fraction).
float AtStep(double step) { return static_cast<float>(step / 12.4); }

class BeatClock : public testing::Test {
 protected:
  void SetUp() override { ResetBeatClock(); }
  void TearDown() override {
    ResetBeatClock();
    ShowTime = FrameDelta = 0;
  }
};
}  // namespace

TEST_F(BeatClock, StartsInThePointBurstAndSwitchesToTheRailSceneOnStep64) {
  ClockFrame(0, 0);
  EXPECT_EQ(BeatStep, 0);
  EXPECT_EQ(CurrentScene, 14);
  EXPECT_EQ(SceneTime, 0);

  ClockFrame(5.2f, 0.02f);
  EXPECT_NEAR(StepPosition, 64.48f, 1e-4f);
  EXPECT_EQ(BeatStep, 64);
  EXPECT_EQ(CurrentScene, 1);
  EXPECT_EQ(SceneTime, 0);
  EXPECT_NEAR(Pulse1, 0.52f, 1e-4f);
}

TEST_F(BeatClock, FlashRisesAcrossTheStepBeforeAKindOneEvent) {
  ClockFrame(AtStep(63.75), 0.02f);
  EXPECT_EQ(BeatStep, 63);
  EXPECT_NEAR(Pulse1, 0.75f, 1e-4f);
  // In a run of kind-1 events the look-ahead wins: steps 696 to 704 are all kind 1.
  ClockFrame(AtStep(697.25), 0.02f);
  EXPECT_NEAR(Pulse1, 0.25f, 1e-4f);
  ClockFrame(AtStep(703.25), 0.02f);
  EXPECT_NEAR(Pulse1, 0.25f, 1e-4f);
  ClockFrame(AtStep(704.25), 0.02f);  // the run's last step decays
  EXPECT_NEAR(Pulse1, 0.75f, 1e-4f);
  ClockFrame(AtStep(705.25), 0.02f);
  EXPECT_EQ(Pulse1, 0);
}

TEST_F(BeatClock, SwitchStepHoldsSceneTimeAtZeroThenCountsFromTheNextStep) {
  ClockFrame(0, 0);
  ClockFrame(AtStep(60.5), 0.05f);
  EXPECT_EQ(CurrentScene, 14);
  EXPECT_GT(SceneTime, 0);
  for (double step : {64.05, 64.4, 64.9}) {
    ClockFrame(AtStep(step), 0.03f);
    EXPECT_EQ(CurrentScene, 1);
    EXPECT_EQ(SceneTime, 0) << "step " << step;
  }
  ClockFrame(AtStep(65.2), 0.03f);
  EXPECT_FLOAT_EQ(SceneTime, 0.03f);
  ClockFrame(AtStep(65.6), 0.03f);
  EXPECT_FLOAT_EQ(SceneTime, 0.06f);

  // An entry equal to the running scene restarts it (scene 3 every 8 steps from step 1092).
  ClockFrame(AtStep(1092.5), 0.03f);
  ClockFrame(AtStep(1099.5), 0.5f);
  EXPECT_EQ(CurrentScene, 3);
  EXPECT_FLOAT_EQ(SceneTime, 0.5f);
  ClockFrame(AtStep(1100.5), 0.03f);
  EXPECT_EQ(SceneTime, 0);
}

TEST_F(BeatClock, WholeShowKeepsEveryLevelInRangeAndInversionSquare) {
  // 60 frames a second up to the ending: past the tracks' ends the steps read as no event.
  int inversionFrames = 0;
  for (int frame = 0; frame < 198 * 60; ++frame) {
    ClockFrame(frame / 60.0f, 1 / 60.0f);
    ASSERT_TRUE(Pulse2 == 0 || Pulse2 == 1) << "at " << ShowTime;
    EXPECT_EQ(Pulse2 == 1, PulseTrackAt(BeatStep) == 2) << "at " << ShowTime;
    inversionFrames += Pulse2 == 1;
    for (float level : {Pulse1, Pulse3, Pulse4}) {
      ASSERT_GE(level, 0) << "at " << ShowTime;
      ASSERT_LE(level, 1) << "at " << ShowTime;
    }
    ASSERT_GE(SceneTime, 0);
  }
  ClockFrame(197.99f, 1 / 60.0f);
  // 100 kind-2 steps of about 4.8 frames each.
  EXPECT_NEAR(inversionFrames, 100 * 60 / StepsPerSecond, 10);
  EXPECT_EQ(BeatStep, 2455);
  EXPECT_EQ(CurrentScene, 10);
  EXPECT_EQ(Pulse1 + Pulse2 + Pulse3 + Pulse4, 0);
}

TEST_F(BeatClock, Pulse3RandomTakesANewDrawInEveryFrameBeforeAKindThreeEvent) {
  // Bar 36 "1........333....": kind 3 at steps 585 to 587.
  RandomSeed = 12345;
  ClockFrame(AtStep(584.2), 0.02f);
  EXPECT_NEAR(Pulse3, 0.2f, 1e-3f);
  const float first = Pulse3Random;
  ClockFrame(AtStep(584.6), 0.02f);
  EXPECT_NE(Pulse3Random, first);
  RandomSeed = 12345;
  const float a = Random();
  const float b = Random();
  EXPECT_EQ(first, a);
  EXPECT_EQ(Pulse3Random, b);

  const uint32_t seedBefore = RandomSeed;
  ClockFrame(AtStep(587.25), 0.02f);  // the run's last step decays and draws nothing
  EXPECT_NEAR(Pulse3, 0.75f, 1e-3f);
  EXPECT_EQ(RandomSeed, seedBefore);
  EXPECT_EQ(Pulse3Random, b);
}

TEST_F(BeatClock, LongFramesStillStartTheScenesOfTheSwitchesTheyPass) {
  // The live mode's first timer frame, at 0.5 s, has passed the first switch at step 0.
  ClockFrame(0.5f, 0.5f);
  EXPECT_EQ(CurrentScene, 14);
  EXPECT_NEAR(SceneTime, 0.5 - 1 / 12.4, 1e-4);
  // Half a second a frame, as the live mode's timer: the frame at step 1748.4 has passed the
  // cloth's release at step 1744 (140.6 s); the scene has run since that step ended.
  ClockFrame(AtStep(1742.2), 0.5f);
  ClockFrame(AtStep(1748.4), 0.5f);
  EXPECT_EQ(CurrentScene, 11);
  EXPECT_NEAR(SceneTime, 3.4 / 12.4, 1e-4);
  // A frame that lands on a switch step behaves as at any rate.
  ClockFrame(AtStep(1792.3), 0.5f);
  EXPECT_EQ(SceneTime, 0);
  // The last of several passed switches wins: 2176 to 2179 alternate 13 and 2.
  ClockFrame(AtStep(2175.5), 0.5f);
  ClockFrame(AtStep(2181.7), 0.5f);
  EXPECT_EQ(CurrentScene, 2);
  // Hours later the last switch of the track (the flowers) has been passed; a clock that went
  // back passes none.
  ClockFrame(28800.0f, 0.5f);
  EXPECT_EQ(CurrentScene, 10);
  ClockFrame(AtStep(10.5), 0.5f);
  EXPECT_EQ(CurrentScene, 10);
}

TEST(SimulationSteps, SixtiethsOfASecondAtMostAndAStallCutToHalfASecond) {
  const SimulationSteps design = SplitFrame(1.0f / 60);
  EXPECT_EQ(design.count, 1);
  EXPECT_EQ(design.length, 1.0f / 60);
  // A real timer's reading a little off 1/60 s is still one step of the whole frame.
  EXPECT_EQ(SplitFrame(0.0166672f).count, 1);
  EXPECT_EQ(SplitFrame(0.0166672f).length, 0.0166672f);
  EXPECT_EQ(SplitFrame(1.0f / 30).count, 2);
  EXPECT_EQ(SplitFrame(1.0f / 30).length, 1.0f / 60);
  EXPECT_EQ(SplitFrame(1.0f / 13).count, 5);
  EXPECT_EQ(SplitFrame(1.0f / 24).count, 3);
  EXPECT_EQ(SplitFrame(1.0f / 144).count, 1);
  EXPECT_EQ(SplitFrame(0.5f).count, 30);
  EXPECT_EQ(SplitFrame(0.5f).length, 1.0f / 60);
  EXPECT_EQ(SplitFrame(2.0f).count, 30);
  EXPECT_EQ(SplitFrame(2.0f).length, 1.0f / 60);
  EXPECT_EQ(SplitFrame(0.0f).count, 0);
  EXPECT_EQ(SplitFrame(-1.0f).count, 0);
  EXPECT_EQ(SplitFrame(NAN).count, 0);
  EXPECT_EQ(SplitFrame(INFINITY).count, 30);
  // Per-sixtieth factors: unchanged for 1/60 s, compounding to the same per second.
  EXPECT_EQ(FactorForStep(0.8f, 1.0f / 60 * 60.0f), 0.8f);
  EXPECT_NEAR(std::pow(FactorForStep(0.8f, 0.5f), 2.0f), 0.8f, 1e-6f);
}

TEST(SceneStarts, AStepsStartTimeIsTheFirstTimeTheClockPlacesInIt) {
  for (int32_t step : {1, 64, 320, 1092, 1856, 2395, 2416}) {
    const float start = StepStartTime(step);
    ResetBeatClock();
    ShowTime = start;
    FrameDelta = 0;
    RunBeatClock();
    EXPECT_EQ(BeatStep, step);
    ShowTime = std::nextafter(start, 0.0f);
    RunBeatClock();
    EXPECT_EQ(BeatStep, step - 1);
  }
  EXPECT_EQ(StepStartTime(0), 0.0f);
  ResetBeatClock();
  ShowTime = FrameDelta = 0;
}

TEST(SceneStarts, EveryTrackSceneWithItsFirstAndLastStart) {
  const std::vector<SceneStartSpan> spans = SceneStartSpans();
  ASSERT_EQ(spans.size(), 15u);  // scenes 1 to 14 and 99
  for (size_t i = 1; i < spans.size(); ++i) EXPECT_LT(spans[i - 1].scene, spans[i].scene);
  for (const SceneStartSpan& span : spans) {
    EXPECT_LE(span.first, span.last);
    if (span.scene == 12) {
      EXPECT_EQ(span.first, StepStartTime(1856));
      EXPECT_EQ(span.last, StepStartTime(2395));
    }
    if (span.scene == 14) {
      EXPECT_EQ(span.first, 0.0f);
    }
    if (span.scene == 99) {
      EXPECT_EQ(span.first, span.last);
    }
  }
}
