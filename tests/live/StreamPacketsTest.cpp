// The packet assembler: whole packets out of arbitrary pieces, out-of-sync counts, a bounded buffer.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "live/LiveTestSupport.h"
#include "live/StreamPackets.h"

namespace {
bool SameBits(const std::array<float, MaxStreamCount>& a, const std::array<float, MaxStreamCount>& b) {
  return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

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
}

TEST(StreamPackets, CountsZeroAndSixtyFourAreWholePackets) {
  TStreamAssembler assembler;
  std::vector<float> full(64);
  for (int i = 0; i < 64; ++i) full[i] = static_cast<float>(i);
  Feed(assembler, CountBytes(0));
  Feed(assembler, PacketBytes(full));
  const auto events = Drain(assembler);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].count, 0);
  for (float value : events[0].values) EXPECT_TRUE(IsAbsent(value));
  EXPECT_EQ(events[1].count, 64);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(events[1].values[i], static_cast<float>(i));
}

TEST(StreamPackets, PacketSplitByteByByteComesOutWholeOnlyAtItsLastByte) {
  const std::vector<uint8_t> bytes = PacketBytes({1, 2, 3, 4, 5});
  TStreamAssembler whole, pieces;
  Feed(whole, bytes);
  const auto expected = Drain(whole);
  ASSERT_EQ(expected.size(), 1u);
  StreamEvent event;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    ASSERT_EQ(pieces.Append(&bytes[i], 1), 1u);
    ASSERT_FALSE(pieces.Next(event)) << "event after byte " << i;
  }
  ASSERT_EQ(pieces.Append(&bytes.back(), 1), 1u);
  ASSERT_TRUE(pieces.Next(event));
  EXPECT_EQ(event.count, 5);
  EXPECT_TRUE(SameBits(event.values, expected[0].values));
}

TEST(StreamPackets, SeveralPacketsInOneReadComeOutInOrder) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 10; ++i) {
    const auto packet = PacketBytes({static_cast<float>(i), static_cast<float>(-i)});
    bytes.insert(bytes.end(), packet.begin(), packet.end());
  }
  TStreamAssembler assembler;
  Feed(assembler, bytes);
  const auto events = Drain(assembler);
  ASSERT_EQ(events.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(events[i].values[0], static_cast<float>(i));
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

TEST(StreamPackets, ClearDropsOnlyThePartialPacket) {
  TStreamAssembler assembler;
  auto bytes = PacketBytes({1.0f});
  const auto partial = PacketBytes({2.0f, 3.0f});
  bytes.insert(bytes.end(), partial.begin(), partial.end() - 3);
  Feed(assembler, bytes);
  StreamEvent event;
  ASSERT_TRUE(assembler.Next(event));
  EXPECT_EQ(event.values[0], 1.0f);
  EXPECT_FALSE(assembler.Next(event));
  EXPECT_GT(assembler.Buffered(), 0u);
  assembler.Clear();
  EXPECT_EQ(assembler.Buffered(), 0u);
}
