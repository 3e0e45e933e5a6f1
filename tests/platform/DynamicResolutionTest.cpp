// The player's dynamic resolution: late frames shrink the drawing, never below 60 % a side, and
// it grows back to the whole frame once there is room.
#include <gtest/gtest.h>

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
