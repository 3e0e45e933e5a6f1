// The picture's lead: a frame drawn that far ahead of the music heard as it starts is seen, on
// average, with the music of the moment it is drawn for, whatever the frame rate.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "timeline/PictureLead.h"

namespace {

// A frame loop whose frames take `interval` seconds (varying by up to `jitter` either way) and
// reach the screen `present` seconds after they start; each frame is drawn for the music heard
// as it starts plus the lead (none when useLead is false). Returns the mean, over the time the
// frames are on screen, of (music the picture shows - music heard) in seconds.
double SeenOffset(double interval, double present, double jitter, bool useLead) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> spread(-jitter, jitter);
  PictureLead lead;
  double start = 0, shownFrom = 0, drawnFor = 0, weighted = 0, total = 0, previousLength = 0;
  for (int frame = 0; frame < 2000; ++frame) {
    const double length = interval + spread(random);
    // The previous frame stays on screen until this one is presented.
    if (frame > 0) {
      const double until = start + present;
      // Over [shownFrom, until) the picture shows drawnFor while the heard music runs from
      // shownFrom: the mean offset is drawnFor - (shownFrom + until) / 2.
      if (frame > 200) {
        weighted += (drawnFor - (shownFrom + until) / 2) * (until - shownFrom);
        total += until - shownFrom;
      }
      shownFrom = until;
      lead.Frame(previousLength, present);  // as the program knows it: the frame before
    } else {
      shownFrom = present;
    }
    drawnFor = start + (useLead ? lead.Seconds() : 0.0);
    previousLength = length;
    start += length;
  }
  return weighted / total;
}

TEST(PictureLead, FramesAreSeenWithTheirMusicAtAnyRate) {
  // 60 frames a second with quick frames, a software renderer at 20, a slow machine at 8.
  const struct {
    double interval, present;
  } loops[] = {{1.0 / 60, 0.004}, {0.05, 0.04}, {0.125, 0.1}};
  for (const auto& loop : loops) {
    const double late = SeenOffset(loop.interval, loop.present, 0.2 * loop.interval, false);
    const double withLead = SeenOffset(loop.interval, loop.present, 0.2 * loop.interval, true);
    // Without a lead the picture shows music that was heard present + interval / 2 ago.
    EXPECT_NEAR(late, -(loop.present + loop.interval / 2), 0.003) << loop.interval;
    EXPECT_NEAR(withLead, 0.0, 0.002) << loop.interval;
  }
}

TEST(PictureLead, FollowsTheFramesAndShrugsOffStalls) {
  PictureLead lead;
  EXPECT_EQ(lead.Seconds(), 0.0);
  lead.Frame(0.05, 0.04);
  EXPECT_NEAR(lead.Seconds(), 0.065, 1e-12);  // the first frame is taken as it is
  // One stall of two seconds moves the lead by at most a tenth of the longest frame counted.
  lead.Frame(2.0, 2.0);
  EXPECT_LE(lead.Seconds(), 0.065 + PictureLead::Weight * 1.5 * PictureLead::Limit + 1e-12);
  // Readings that make no sense count as an instant frame; the lead stays finite and >= 0.
  lead.Frame(std::numeric_limits<double>::quiet_NaN(), -1.0);
  EXPECT_TRUE(std::isfinite(lead.Seconds()));
  EXPECT_GE(lead.Seconds(), 0.0);
  // A new pace is taken up within a few dozen frames.
  for (int i = 0; i < 60; ++i) lead.Frame(1.0 / 60, 0.004);
  EXPECT_NEAR(lead.Seconds(), 0.004 + 1.0 / 120, 0.001);
}

}  // namespace
