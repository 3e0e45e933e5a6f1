// The packet assembler: whole packets out of arbitrary pieces, out-of-sync counts, a bounded buffer.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "live/LiveTestSupport.h"
#include "live/StreamPackets.h"

namespace {

void Feed(TStreamAssembler& assembler, const std::vector<uint8_t>& bytes) {
  ASSERT_EQ(assembler.Append(bytes.data(), bytes.size()), bytes.size());
}

std::vector<StreamEvent> Drain(TStreamAssembler& assembler) {
  std::vector<StreamEvent> events;
  StreamEvent event;
  while (assembler.Next(event)) events.push_back(event);
  return events;
}

bool IsAbsent(float value) { return std::bit_cast<uint32_t>(value) == AbsentStreamBits; }
}  // namespace

TEST(StreamPackets, WireFormatIsLittleEndianCountThenFloats) {
  const std::vector<uint8_t> bytes = PacketBytes({1.0f, -2.0f});
  const std::vector<uint8_t> expected = {2, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0};
  EXPECT_EQ(bytes, expected);
  EXPECT_TRUE(std::isnan(AbsentStreamValue()));
  EXPECT_TRUE(std::signbit(AbsentStreamValue()));
}

TEST(StreamPackets, WholePacketFillsItsSlotsAndLeavesTheRestAbsent) {
  TStreamAssembler assembler;
  Feed(assembler, PacketBytes({0.5f, -3.0f, 1e30f}));
  const auto events = Drain(assembler);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, StreamEvent::Kind::Packet);
  EXPECT_EQ(events[0].count, 3);
  EXPECT_EQ(events[0].values[0], 0.5f);
  EXPECT_EQ(events[0].values[1], -3.0f);
  EXPECT_EQ(events[0].values[2], 1e30f);
  for (int i = 3; i < MaxStreamCount; ++i) EXPECT_TRUE(IsAbsent(events[0].values[i])) << i;
  EXPECT_EQ(assembler.Buffered(), 0u);

  // A packet waits for its last byte; counts 0 and 64 are whole packets.
  std::vector<float> full(64, 2.0f);
  const auto bytes = PacketBytes(full);
  StreamEvent event;
  ASSERT_EQ(assembler.Append(bytes.data(), bytes.size() - 1), bytes.size() - 1);
  EXPECT_FALSE(assembler.Next(event));
  Feed(assembler, {bytes.back()});
  Feed(assembler, PacketBytes({}));
  const auto more = Drain(assembler);
  ASSERT_EQ(more.size(), 2u);
  EXPECT_EQ(more[0].count, 64);
  EXPECT_EQ(more[0].values[63], 2.0f);
  EXPECT_EQ(more[1].count, 0);
  for (float value : more[1].values) EXPECT_TRUE(IsAbsent(value));
}

TEST(StreamPackets, CountOutsideRangeConsumesOnlyItsFourBytes) {
  for (int32_t bad : {65, -1, 1 << 30, static_cast<int32_t>(0x80000000u)}) {
    std::vector<uint8_t> bytes = CountBytes(bad);
    const auto next = PacketBytes({7.0f});
    bytes.insert(bytes.end(), next.begin(), next.end());
    TStreamAssembler assembler;
    Feed(assembler, bytes);
    const auto events = Drain(assembler);
    ASSERT_EQ(events.size(), 2u) << bad;
    EXPECT_EQ(events[0].kind, StreamEvent::Kind::OutOfSync);
    EXPECT_EQ(events[0].count, bad);
    EXPECT_EQ(events[1].kind, StreamEvent::Kind::Packet);
    EXPECT_EQ(events[1].values[0], 7.0f);
  }
}

TEST(StreamPackets, BufferIsBoundedAndMakesRoomAsEventsAreTaken) {
  // 1 MB of 0xFF words: every word is the count -1.
  const std::vector<uint8_t> garbage(1 << 20, 0xFF);
  TStreamAssembler assembler;
  size_t offset = 0;
  size_t outOfSync = 0;
  while (offset < garbage.size()) {
    const size_t taken = assembler.Append(garbage.data() + offset, garbage.size() - offset);
    ASSERT_GT(taken, 0u);
    ASSERT_LE(assembler.Buffered(), TStreamAssembler::Capacity);
    offset += taken;
    for (const auto& event : Drain(assembler)) {
      ASSERT_EQ(event.kind, StreamEvent::Kind::OutOfSync);
      ++outOfSync;
    }
  }
  EXPECT_EQ(outOfSync, garbage.size() / 4);
  // The assembler still reads well-formed packets afterwards.
  Feed(assembler, PacketBytes({3.0f}));
  const auto events = Drain(assembler);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].values[0], 3.0f);
}
