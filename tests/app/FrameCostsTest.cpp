// The frame-cost table the player foresees heavy stretches with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/FrameCosts.h"
#include "timeline/ShowClock.h"

TEST(FrameCosts, ATableLooksAheadSurvivesItsTextAndADamagedOneIsRefused) {
  FrameCosts costs;
  costs.Set(10.0, 3.0);
  costs.Set(10.25, 9.5);
  costs.Set(10.5, 2.0);
  EXPECT_EQ(costs.At(10.1), 3.0);
  EXPECT_TRUE(std::isnan(costs.At(9.9))) << "a stretch it says nothing of";
  EXPECT_EQ(costs.MostAhead(10.0, FrameCosts::Lookahead), 9.5) << "the heavy stretch is seen half a second ahead";
  EXPECT_EQ(costs.MostAhead(10.5, FrameCosts::Lookahead), 2.0);
  EXPECT_TRUE(std::isnan(costs.MostAhead(std::nan(""), 1.0)));

  FrameCosts again;
  ASSERT_TRUE(again.Parse(costs.Text()));
  EXPECT_EQ(again.At(10.3), 9.5);
  for (const char* damaged : {"10.0 x\n", "10.0 3.0 4.0\n", "-1 3\n", "10 nan\n", "1e9 3\n"}) {
    FrameCosts broken;
    EXPECT_FALSE(broken.Parse(damaged)) << damaged;
    EXPECT_TRUE(broken.Empty()) << damaged;
  }
}

TEST(FrameCosts, ThePlayerTakesThisMachinesTableAndElseTheCarriedOneWhichCoversTheShow) {
  const std::filesystem::path cache = std::filesystem::temp_directory_path() / "vantrel-frame-costs-test";
  std::filesystem::remove_all(cache);
  const char* before = std::getenv("XDG_CACHE_HOME");
  const std::string saved = before ? before : "";
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  std::string source;
  const FrameCosts carried = PlayerFrameCosts(source);
  EXPECT_EQ(source, "the table the program carries");
  for (double t = 0; t < EndingStartTime; t += FrameCosts::Step)
    ASSERT_GT(carried.At(t), 0) << "the carried table says nothing of " << t << " s";

  FrameCosts measured;
  measured.Set(0, 4.0);
  ASSERT_TRUE(SaveMachineFrameCosts(measured));
  const FrameCosts mine = PlayerFrameCosts(source);
  EXPECT_EQ(source, MachineFrameCostsPath());
  EXPECT_EQ(mine.At(0), 4.0);
  std::filesystem::remove_all(cache);
  if (before)
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
}
