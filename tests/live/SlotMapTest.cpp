// The slot map as the protocol page documents it: every slot's number, name and range.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "live/SlotMap.h"

TEST(SlotMap, ProtocolPageListsEverySlotAsTheProgramDrawsIt) {
  const char* source = std::getenv("VANTREL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const auto page = std::filesystem::path(source) / "docs/live-protocol.md";
  std::ifstream file(page);
  ASSERT_TRUE(file) << page;
  std::stringstream text;
  text << file.rdbuf();
  for (const LiveSlot& slot : LiveSlotMap) {
    char row[96];
    std::snprintf(row, sizeof row, "| %d | `%s` | %g..%g |", slot.number, slot.name,
                  static_cast<double>(slot.low), static_cast<double>(slot.high));
    EXPECT_NE(text.str().find(row), std::string::npos) << "missing row " << row;
  }
  EXPECT_EQ(LiveSlotNamed("overlay-opacity"), OverlayOpacitySlot);
  EXPECT_EQ(LiveSlotNamed("nothing"), -1);
}
