// The player's dynamic resolution: late frames shrink the drawing, never below 60 % a side, and
// it grows back to the whole frame once there is room.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/DynamicResolution.h"
#include "platform/ShowFrame.h"

namespace {
constexpr double Budget = 1.0 / 60.0;

// Feeds frames of one duration for the given seconds; returns the last scale.
float Feed(DynamicResolution& resolution, double frameSeconds, double seconds) {
  float scale = resolution.Scale();
  for (double t = 0; t < seconds; t += frameSeconds) scale = resolution.FrameTook(frameSeconds);
  return scale;
}
}  // namespace

TEST(DynamicResolution, LateFramesShrinkToTheFloorAndRoomGrowsBackToTheWholeFrame) {
  DynamicResolution resolution(Budget);
  EXPECT_EQ(Feed(resolution, 0.010, 5.0), 1.0f) << "frames in time leave the frame whole";
  // Twice the budget: shrinks within a fraction of a second, and no further than the floor.
  EXPECT_LT(Feed(resolution, 0.034, 0.25), 1.0f);
  EXPECT_EQ(Feed(resolution, 0.034, 5.0), MinimumDrawingScale);
  EXPECT_EQ(resolution.LowestScale(), MinimumDrawingScale);
  // Plenty of room again: back to the whole frame within a few seconds, in steps.
  const float first = Feed(resolution, 0.006, 1.2);
  EXPECT_GT(first, MinimumDrawingScale);
  EXPECT_LT(first, 1.0f) << "it grows back slowly";
  EXPECT_EQ(Feed(resolution, 0.006, 10.0), 1.0f);
}

TEST(DynamicResolution, ALoneLateFrameOrAJustFittingDisplayDoesNotPump) {
  DynamicResolution resolution(Budget);
  for (int i = 0; i < 600; ++i) {
    // One hitch of 40 ms every second among frames well in time.
    ASSERT_EQ(resolution.FrameTook(i % 60 == 30 ? 0.040 : 0.012), 1.0f) << "frame " << i;
  }
  // A display that holds every frame to its refresh shows no room, yet once the frames have kept
  // to it for a while the drawing grows back.
  Feed(resolution, 0.030, 1.0);
  const float shrunk = Feed(resolution, Budget, 0.2);  // the late frames judged out
  ASSERT_LT(shrunk, 1.0f);
  EXPECT_EQ(Feed(resolution, Budget, 2.0), shrunk) << "not at once";
  EXPECT_GT(Feed(resolution, Budget, 2.0), shrunk);
}

TEST(DynamicResolution, OnALargeScreenItStartsAtTheDesignSizeAndGrowsToTheNativeOne) {
  // A 1440 x 1080 frame: scale 1.8.
  DynamicResolution resolution(Budget, 1.8f);
  EXPECT_EQ(resolution.Scale(), 1.0f) << "starts at 800 x 600";
  const float grown = Feed(resolution, 0.004, 3.5);
  EXPECT_GT(grown, 1.0f);
  EXPECT_LT(grown, 1.8f) << "in steps";
  EXPECT_EQ(Feed(resolution, 0.004, 12.0), 1.8f) << "the native size within seconds";
  // Late frames shrink it again, down to the same floor as on a small screen.
  EXPECT_EQ(Feed(resolution, 0.050, 5.0), MinimumDrawingScale);
  // On the way back up the design size is a step of its own.
  bool metDesignSize = false;
  for (int i = 0; i < 6000 && resolution.Scale() < 1.8f; ++i)
    metDesignSize |= resolution.FrameTook(0.004) == 1.0f;
  EXPECT_TRUE(metDesignSize);
  ASSERT_EQ(resolution.Scale(), 1.8f);
  // A smaller window: the scale held within its frame; a frame smaller than the design size
  // starts at its own size.
  EXPECT_EQ(resolution.SetCeiling(1.2f), 1.2f);
  EXPECT_EQ(DynamicResolution(Budget, 0.7f).Scale(), 0.7f);
  DynamicResolution small(Budget, 0.7f);
  EXPECT_EQ(Feed(small, 0.050, 3.0), MinimumDrawingScale);
}

TEST(DynamicResolution, AHeavyStretchTheTableForeseesIsDrawnSmallerBeforeItsFirstLateFrame) {
  // A machine on which a unit of the table takes 4 ms at the design size; frames of 2 units
  // (8 ms) are in time, a stretch of 8 units (32 ms at full size) is not.
  constexpr double PerUnit = 0.004;
  DynamicResolution resolution(Budget);
  float scale = resolution.Scale();
  const auto frame = [&](double costNow, double costAhead) {
    return scale = resolution.FrameTook(PerUnit * costNow * scale * scale, costNow, costAhead);
  };
  for (int i = 0; i < 300; ++i) ASSERT_EQ(frame(2, 2), 1.0f) << "light frames learn the unit at full size";
  // The heavy stretch comes into view: the very next frame, still a light one, is drawn smaller,
  // small enough that the heavy frames fit.
  const float before = frame(2, 8);
  EXPECT_LT(before, 1.0f);
  EXPECT_LE(PerUnit * 8 * before * before, Budget);
  double latest = 0;
  for (int i = 0; i < 60; ++i) {
    frame(8, 8);
    latest = std::max(latest, PerUnit * 8 * scale * scale);
  }
  EXPECT_LE(latest, Budget) << "no heavy frame ran late";
  EXPECT_GE(resolution.LowestScale(), MinimumDrawingScale);
  // Past it: the size the light frames held, at once.
  frame(8, 2);
  EXPECT_EQ(scale, 1.0f);
  // A table that says nothing leaves the reactive rule alone.
  DynamicResolution blind(Budget);
  EXPECT_EQ(blind.FrameTook(0.008, std::nan(""), std::nan("")), 1.0f);
}
