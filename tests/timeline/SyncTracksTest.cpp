// The compiled-in tracks against the tables they were cut from.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "timeline/BeatClock.h"
#include "timeline/SyncTracks.h"

TEST(SyncTracks, HoldTheRightNumberOfSwitchesAndEventsOfEachKind) {
  int switches = 0;
  const std::set<int> knownScenes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 99};
  for (int step = 0; step < SceneTrackLength; ++step) {
    if (SceneTrack[step] == 0) continue;
    ++switches;
    EXPECT_TRUE(knownScenes.count(SceneTrack[step])) << "step " << step;
  }
  EXPECT_EQ(switches, 126);

  std::map<int, int> kinds;
  for (int step = 0; step < PulseTrackLength; ++step) ++kinds[PulseTrack[step]];
  EXPECT_EQ(kinds[1], 172);
  EXPECT_EQ(kinds[2], 100);
  EXPECT_EQ(kinds[3], 145);
  EXPECT_EQ(kinds[4], 45);
  EXPECT_EQ(kinds.size(), 5u) << "only 0 and the kinds 1 to 4 occur";
}

TEST(SyncTracks, SampleEntriesMatchTheTables) {
  // The long scenes of the first half, the first cut of the second and the last switch.
  const std::map<int, int> switches = {
      {0, 14},    {64, 1},    {320, 5},   {960, 2},   {1212, 3}, {1216, 9}, {1508, 14}, {1509, 10},
      {1728, 99}, {1744, 11}, {1856, 12}, {1968, 13}, {1984, 1}, {2153, 2}, {2305, 1},  {2416, 10}};
  for (const auto& [step, scene] : switches) EXPECT_EQ(SceneTrack[step], scene) << "step " << step;
  for (int step : {1, 63, 65, 1093, 1509 + 1, 2417, SceneTrackLength - 1})
    EXPECT_EQ(SceneTrack[step], 0) << "step " << step;

  // Bar 91 "42443...42121111", bar 20 "....2.....2....2" and the last bar ".2..3..2..4.3111".
  const int bar91[16] = {4, 2, 4, 4, 3, 0, 0, 0, 4, 2, 1, 2, 1, 1, 1, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(PulseTrack[91 * 16 + i], bar91[i]) << "bar 91 step " << i;
  EXPECT_EQ(PulseTrack[64], 1);
  EXPECT_EQ(PulseTrack[20 * 16 + 4], 2);
  EXPECT_EQ(PulseTrack[20 * 16 + 10], 2);
  EXPECT_EQ(PulseTrack[20 * 16 + 15], 2);
  EXPECT_EQ(PulseTrack[20 * 16 + 14], 0);
  const int bar143[16] = {0, 2, 0, 0, 3, 0, 0, 2, 0, 0, 4, 0, 3, 1, 1, 1};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(PulseTrack[143 * 16 + i], bar143[i]) << "bar 143 step " << i;
}

TEST(SyncTracks, StepsOutsideATrackReadAsNoEvent) {
  EXPECT_EQ(SceneTrackAt(0), 14);
  EXPECT_EQ(SceneTrackAt(SceneTrackLength), 0);
  EXPECT_EQ(SceneTrackAt(-1), 0);
  EXPECT_EQ(SceneTrackAt(INT64_MIN), 0);
  EXPECT_EQ(PulseTrackAt(PulseTrackLength - 1), 1);
  EXPECT_EQ(PulseTrackAt(PulseTrackLength), 0);
  EXPECT_EQ(PulseTrackAt(-1), 0);
}
