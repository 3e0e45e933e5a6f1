// OSC control: the address space, bundles in order, and malformed datagrams over real UDP.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "live/LiveTestSupport.h"
#include "live/OscInput.h"
#include "live/PDSServer.h"
#include "live/SetRecording.h"
#include "support/TestSupport.h"

namespace {
bool IsAbsent(float value) { return std::isnan(value); }

// A server with TCP and OSC on ephemeral loopback ports that records every frame's values.
struct OscServer {
  explicit OscServer(const std::string& recordPath = "")
      : server([&] {
          TLiveServerSettings settings;
          settings.listenAddress = "127.0.0.1";
          settings.port = 0;
          settings.oscPort = 0;
          settings.openToolWindow = false;
          settings.recordPath = recordPath;
          return settings;
        }()) {
    server.DrawPacketFrame = [this] { frames.push_back(StreamValues); };
    server.DrawTimerFrame = [] {};
    server.TimerInterval = std::chrono::hours(1);
  }
  bool Send(const std::vector<uint8_t>& bytes) { return SendDatagram(server.OscPort(), bytes); }
  bool WaitForFrames(size_t count) {
    return StepUntil(server, [&] { return frames.size() >= count; });
  }
  TPDSServerObject server;
  std::vector<std::array<float, MaxStreamCount>> frames;
};

std::vector<OscEvent> Parse(const std::vector<uint8_t>& bytes, OscCounts& counts) {
  std::vector<OscEvent> events;
  ParseOscDatagram(bytes.data(), bytes.size(), events, counts);
  return events;
}
}  // namespace

TEST(OscInput, AddressSpaceAndArgumentTypes) {
  OscCounts counts;
  auto events = Parse(OscMessageBytes("/vantrel/packet", "fNi", {0.5f, 3.0f}), counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, OscEvent::Kind::Packet);
  EXPECT_EQ(events[0].count, 3);
  EXPECT_EQ(events[0].values[0], 0.5f);
  EXPECT_TRUE(IsAbsent(events[0].values[1]));  // nil: the slot is absent
  EXPECT_EQ(events[0].values[2], 3.0f);        // integers are taken as numbers
  EXPECT_TRUE(IsAbsent(events[0].values[3]));

  events = Parse(OscMessageBytes("/vantrel/slot/63", "f", {0.25f}), counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, OscEvent::Kind::SetSlot);
  EXPECT_EQ(events[0].slot, 63);
  // A slot may be named as the slot map names it, as a controller's label would.
  events = Parse(OscMessageBytes("/vantrel/slot/overlay-opacity", "f", {0.5f}), counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].slot, 7);
  for (const char* types : {"", "N"}) {
    events = Parse(OscMessageBytes("/vantrel/slot/7", types), counts);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, OscEvent::Kind::ClearSlot);
  }
  events = Parse(OscMessageBytes("/vantrel/clear", "f", {1.0f}), counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, OscEvent::Kind::ClearAll);
  EXPECT_EQ(counts.malformed, 0);

  // Wrong types, slots outside 0 to 63, too many values: counted, nothing applied.
  const std::vector<std::vector<uint8_t>> bad = {
      OscMessageBytes("/vantrel/packet", "fs", {1.0f}), OscMessageBytes("/vantrel/slot/64", "f", {1.0f}),
      OscMessageBytes("/vantrel/slot/x", "f", {1.0f}), OscMessageBytes("/vantrel/slot/", "f", {1.0f}),
      OscMessageBytes("/vantrel/slot/1", "ff", {1.0f, 2.0f}), OscMessageBytes("/vantrel/slot/1", "s"),
      OscMessageBytes("/vantrel/packet", std::string(65, 'f').c_str(), std::vector<float>(65, 1.0f))};
  for (const auto& bytes : bad) EXPECT_TRUE(Parse(bytes, counts).empty());
  EXPECT_EQ(counts.malformed, static_cast<long>(bad.size()));
  EXPECT_TRUE(Parse(OscMessageBytes("/other", "f", {1.0f}), counts).empty());
  EXPECT_EQ(counts.unknown, 1);

  // 64 values fit.
  events = Parse(OscMessageBytes("/vantrel/packet", std::string(64, 'f').c_str(), std::vector<float>(64, 2.0f)), counts);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].values[63], 2.0f);
}

TEST(OscInput, BundlesApplyInOrderAndBrokenOnesAreRefusedWhole) {
  OscCounts counts;
  const auto inner = OscBundleBytes({OscMessageBytes("/vantrel/slot/2", "f", {2.0f}),
                                     OscMessageBytes("/vantrel/slot/2", "f", {3.0f})});
  const auto bundle = OscBundleBytes({OscMessageBytes("/vantrel/packet", "ff", {1.0f, 1.0f}), inner,
                                      OscMessageBytes("/vantrel/packet", "s"),
                                      OscMessageBytes("/vantrel/clear")});
  const auto events = Parse(bundle, counts);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].kind, OscEvent::Kind::Packet);
  EXPECT_EQ(events[1].value, 2.0f);
  EXPECT_EQ(events[2].value, 3.0f);
  EXPECT_EQ(events[3].kind, OscEvent::Kind::ClearAll);
  EXPECT_EQ(counts.malformed, 1);  // the string packet inside

  // Cut anywhere but between two elements, a bundle is refused whole and counted once.
  ASSERT_EQ(bundle.size(), 180u);
  for (size_t cut = 1; cut < bundle.size(); ++cut) {
    if (cut == 16 || cut == 48 || cut == 124 || cut == 156) continue;
    OscCounts cutCounts;
    std::vector<uint8_t> bytes(bundle.begin(), bundle.begin() + static_cast<long>(cut));
    const auto partial = Parse(bytes, cutCounts);
    EXPECT_TRUE(partial.empty()) << cut;
    EXPECT_EQ(cutCounts.malformed, 1) << cut;
  }
  auto message = OscMessageBytes("/vantrel/packet", "fff", {1, 2, 3});
  message.resize(message.size() - 4);
  EXPECT_TRUE(Parse(message, counts).empty());
}

TEST(OscInput, OverUdpPacketsSlotsAndClearsDrawAFrameEach) {
  OscServer s;
  ASSERT_NE(s.server.OscPort(), 0);
  LoopbackClient tcp(s.server.Port());
  tcp.Send(PacketBytes({0.1f, 0.2f, 0.3f}));
  ASSERT_TRUE(s.WaitForFrames(1));

  // A fader moves one value and keeps the others.
  ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/slot/1", "f", {0.9f})));
  ASSERT_TRUE(s.WaitForFrames(2));
  EXPECT_EQ(s.frames[1][0], 0.1f);
  EXPECT_EQ(s.frames[1][1], 0.9f);
  EXPECT_EQ(s.frames[1][2], 0.3f);
  ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/slot/0", "N")));
  ASSERT_TRUE(s.WaitForFrames(3));
  EXPECT_TRUE(IsAbsent(s.frames[2][0]));
  EXPECT_EQ(s.frames[2][1], 0.9f);
  // A bundle: one frame per message, in order.
  ASSERT_TRUE(s.Send(OscBundleBytes({OscMessageBytes("/vantrel/slot/2"), OscMessageBytes("/vantrel/slot/5", "f", {5.0f}),
                                     OscMessageBytes("/vantrel/clear")})));
  ASSERT_TRUE(s.WaitForFrames(6));
  EXPECT_TRUE(IsAbsent(s.frames[3][2]));
  EXPECT_EQ(s.frames[3][1], 0.9f);
  EXPECT_EQ(s.frames[4][5], 5.0f);
  for (float value : s.frames[5]) EXPECT_TRUE(IsAbsent(value));
  EXPECT_EQ(s.server.OscFrames, 5);
  EXPECT_EQ(s.server.Label1Caption(), "OSC clear");

  // A whole packet over OSC gives the same values as over TCP, bit for bit.
  const std::vector<float> values = {0.5f, -2.0f, AbsentStreamValue(), 1e-3f, 7.0f};
  tcp.Send(PacketBytes(values));
  ASSERT_TRUE(s.WaitForFrames(7));
  ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/packet", "fffff", values)));
  ASSERT_TRUE(s.WaitForFrames(8));
  for (int i = 0; i < MaxStreamCount; ++i)
    EXPECT_EQ(std::bit_cast<uint32_t>(s.frames[6][i]), std::bit_cast<uint32_t>(s.frames[7][i])) << i;
  EXPECT_EQ(s.server.Label1Caption(), "Reading 5 streams");
}

TEST(OscInput, TheRecordedSetHoldsWhatEverySourceDrewAndReadsBackAsASet) {
  TempDir dir;
  const std::string path = dir.File("set.txt");
  std::vector<std::array<float, MaxStreamCount>> drawn;
  {
    OscServer s(path);
    LoopbackClient tcp(s.server.Port());
    tcp.Send(PacketBytes({0.1f, AbsentStreamValue(), 0.3f}));
    ASSERT_TRUE(s.WaitForFrames(1));
    ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/slot/flash", "f", {0.75f})));
    ASSERT_TRUE(s.WaitForFrames(2));
    drawn = s.frames;
    EXPECT_EQ(s.server.SourcesCaption(), "TCP 1, OSC 1, MIDI 0, sound 0");
  }
  std::vector<RecordedPacket> set;
  std::string error;
  ASSERT_TRUE(ReadSetRecording(path, set, error)) << error;
  ASSERT_EQ(set.size(), 2u);
  EXPECT_LE(set[0].time, set[1].time);
  for (size_t frame = 0; frame < set.size(); ++frame)
    for (int slot = 0; slot < MaxStreamCount; ++slot) {
      const float recorded = slot < static_cast<int>(set[frame].values.size()) ? set[frame].values[slot] : NAN;
      EXPECT_EQ(std::isnan(recorded), std::isnan(drawn[frame][slot])) << frame << " " << slot;
      if (!std::isnan(recorded)) {
        EXPECT_EQ(recorded, drawn[frame][slot]) << frame << " " << slot;
      }
    }
}

TEST(OscInput, MalformedDatagramsAreCountedAndTheServerGoesOn) {
  OscServer s;
  auto truncated = OscMessageBytes("/vantrel/packet", "ff", {1, 2});
  truncated.resize(truncated.size() - 3);
  ASSERT_TRUE(s.Send(truncated));
  ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/slot/3", "s")));
  ASSERT_TRUE(s.Send({'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xF0}));
  // 1 MB does not fit in a UDP datagram: the system refuses it before it leaves.
  EXPECT_FALSE(s.Send(std::vector<uint8_t>(1 << 20, 0xAB)));
  EXPECT_EQ(errno, EMSGSIZE);
  // The largest datagram there is, full of garbage.
  ASSERT_TRUE(s.Send(std::vector<uint8_t>(65507, 0xAB)));
  ASSERT_TRUE(s.Send(OscMessageBytes("/vantrel/slot/4", "f", {4.0f})));
  ASSERT_TRUE(s.WaitForFrames(1));
  EXPECT_EQ(s.frames[0][4], 4.0f);
  EXPECT_EQ(s.server.Osc.Counts.malformed, 4);
  EXPECT_EQ(s.server.Osc.Counts.datagrams, 5);
  EXPECT_EQ(s.server.OscFrames, 1);
}

TEST(SetRecording, ValuesAreCheckedAndReadBackExactly) {
  float value = 0;
  EXPECT_FALSE(ParseStreamValue("1e39", value));
  EXPECT_FALSE(ParseStreamValue("-1e39", value));
  EXPECT_FALSE(ParseStreamValue("1.5x", value));
  EXPECT_FALSE(ParseStreamValue("", value));
  EXPECT_TRUE(ParseStreamValue("1e-50", value));  // underflow is harmless
  EXPECT_EQ(value, 0.0f);
  EXPECT_TRUE(ParseStreamValue("-inf", value));
  EXPECT_EQ(value, -INFINITY);
  EXPECT_TRUE(ParseStreamValue("nan", value));
  EXPECT_EQ(std::bit_cast<uint32_t>(value), AbsentStreamBits);

  TempDir dir;
  const std::vector<float> values = {0.1f, AbsentStreamValue(), 3e38f, -0.0f, INFINITY, 1.0f / 3.0f};
  const std::string text = "# a set\n" + FormatRecordedPacket(0.04, values.data(), 6) +
                           FormatRecordedPacket(0.5, nullptr, 0) + "\n";
  WriteFile(dir.File("set.txt"), std::vector<uint8_t>(text.begin(), text.end()));
  std::vector<RecordedPacket> set;
  std::string error;
  ASSERT_TRUE(ReadSetRecording(dir.File("set.txt"), set, error)) << error;
  ASSERT_EQ(set.size(), 2u);
  EXPECT_DOUBLE_EQ(set[0].time, 0.04);
  ASSERT_EQ(set[0].values.size(), 6u);
  for (size_t i = 0; i < values.size(); ++i) {
    if (!std::isnan(values[i])) {
      EXPECT_EQ(std::bit_cast<uint32_t>(set[0].values[i]), std::bit_cast<uint32_t>(values[i])) << i;
    }
  }
  EXPECT_TRUE(std::isnan(set[0].values[1]));
  EXPECT_TRUE(set[1].values.empty());

  const std::string back = "1.0 1\n0.5 2\n";
  WriteFile(dir.File("back.txt"), std::vector<uint8_t>(back.begin(), back.end()));
  EXPECT_FALSE(ReadSetRecording(dir.File("back.txt"), set, error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  const std::string huge = "0 1e39\n";
  WriteFile(dir.File("huge.txt"), std::vector<uint8_t>(huge.begin(), huge.end()));
  EXPECT_FALSE(ReadSetRecording(dir.File("huge.txt"), set, error));
}

TEST(OscInput, DatagramsTheSystemDropsAreCounted) {
  OscServer s;
  // Far more than the socket's queue holds, sent while the server is not reading.
  constexpr int Sent = 20000;
  const auto message = OscMessageBytes("/vantrel/slot/1", "f", {1.0f});
  for (int i = 0; i < Sent; ++i) ASSERT_TRUE(s.Send(message));
  s.server.ReadWaitingOsc();
  const OscCounts& counts = s.server.Osc.Counts;
  std::printf("[ figures  ] %d datagrams sent at once: %ld read, %ld dropped by the system\n", Sent,
              counts.datagrams, counts.systemDropped);
  EXPECT_GT(counts.systemDropped, 0);
  EXPECT_EQ(counts.datagrams + counts.systemDropped, Sent);
  EXPECT_EQ(static_cast<long>(s.server.OscPending()), counts.datagrams);
}
