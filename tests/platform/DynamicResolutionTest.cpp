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
