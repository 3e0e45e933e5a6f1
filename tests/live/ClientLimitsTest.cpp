// Clients cannot hold the server: full places, half-sent packets and silence over real loopback TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "live/LiveTestSupport.h"
#include "live/PDSServer.h"
#include "support/TestSupport.h"

namespace {
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A server on an ephemeral loopback port with the given limits that counts the packets it draws.
struct LimitedServer {
  explicit LimitedServer(std::chrono::milliseconds halfPacket = std::chrono::seconds(10),
                         std::chrono::milliseconds idle = std::chrono::seconds(60))
      : server([&] {
          TLiveServerSettings settings;
          settings.port = 0;
          settings.listenAddress = "127.0.0.1";
          settings.openToolWindow = false;
          settings.halfPacketLimit = halfPacket;
          settings.idleLimit = idle;
          return settings;
        }()) {
    server.DrawPacketFrame = [this] { frames.push_back(StreamValues[0]); };
    server.DrawTimerFrame = [] {};
    server.TimerInterval = std::chrono::hours(1);
  }
  TPDSServerObject server;
  std::vector<float> frames;
};
}  // namespace

TEST(ClientLimits, AFullServerMakesRoomForANewcomerByClosingTheLongestSilent) {
  LimitedServer s;
  ASSERT_TRUE(s.server.Listening());
  std::vector<std::unique_ptr<LoopbackClient>> idle;
  for (int i = 0; i < 64; ++i) {
    idle.push_back(std::make_unique<LoopbackClient>(s.server.Port()));
    ASSERT_TRUE(idle.back()->Connected());
    ASSERT_TRUE(StepUntil(s.server, [&] { return s.server.ClientCount() == i + 1; }));
  }
  // The first one speaks, so the second is now the longest silent.
  idle[0]->Send(PacketBytes({1.0f}));
  ASSERT_TRUE(StepUntil(s.server, [&] { return s.frames.size() == 1; }));

  const auto start = Clock::now();
  LoopbackClient performer(s.server.Port());
  performer.Send(PacketBytes({2.0f}));
  ASSERT_TRUE(StepUntil(s.server, [&] { return s.frames.size() == 2; }));
  std::printf("[ figures  ] the performer's packet drawn %.2f ms after connecting to a full server\n",
              SecondsSince(start) * 1000);
  EXPECT_EQ(s.frames[1], 2.0f);
  EXPECT_EQ(s.server.ClientCount(), 64);
  EXPECT_EQ(s.server.Closes.evicted, 1);
  EXPECT_TRUE(idle[1]->ClosedByServer(2));
  EXPECT_FALSE(idle[0]->ClosedByServer());
  EXPECT_FALSE(idle[2]->ClosedByServer());
}

TEST(ClientLimits, ClientsHoldingHalfAPacketOrSilentAreClosedAndOthersServed) {
  LimitedServer s(std::chrono::milliseconds(300), std::chrono::milliseconds(600));
  LoopbackClient half(s.server.Port());
  LoopbackClient silent(s.server.Port());
  LoopbackClient steady(s.server.Port());
  ASSERT_TRUE(StepUntil(s.server, [&] { return s.server.ClientCount() == 3; }));
  const auto start = Clock::now();
  // A whole packet, then the count and one of three values of the next one.
  auto bytes = PacketBytes({1.0f});
  const auto next = PacketBytes({5.0f, 5.0f, 5.0f});
  bytes.insert(bytes.end(), next.begin(), next.begin() + 8);
  half.Send(bytes);
  double halfClosedAt = 0;
  float value = 10;
  ASSERT_TRUE(StepUntil(s.server, [&] {
    if (s.server.Closes.halfPacket == 1 && halfClosedAt == 0) halfClosedAt = SecondsSince(start);
    // The steady client sends every 100 ms and is never closed.
    if (SecondsSince(start) * 10 > value - 10) steady.Send(PacketBytes({value++}));
    return s.server.Closes.idle == 1 && SecondsSince(start) > 1.2;
  }));
  EXPECT_GE(halfClosedAt, 0.3);
  EXPECT_TRUE(half.ClosedByServer(1));
  EXPECT_TRUE(silent.ClosedByServer(1));
  EXPECT_FALSE(steady.ClosedByServer());
  EXPECT_EQ(s.server.ClientCount(), 1);
  // The unfinished packet is counted as lost with its client; the whole one was drawn.
  EXPECT_EQ(s.server.Closes.packetsLost, 1);
  EXPECT_EQ(s.frames.front(), 1.0f);
  EXPECT_GE(s.frames.size(), 10u);
}

TEST(ClientLimits, TheRealHalfPacketLimitIsTenSeconds) {
  LimitedServer s;
  LoopbackClient stuck(s.server.Port());
  LoopbackClient other(s.server.Port());
  const auto start = Clock::now();
  stuck.Send(CountBytes(3));
  double closedAt = 0;
  float value = 0;
  ASSERT_TRUE(StepUntil(s.server, [&] {
    // Another client is served all along, once a second.
    if (SecondsSince(start) >= value) other.Send(PacketBytes({value++}));
    if (s.server.Closes.halfPacket == 1 && closedAt == 0) closedAt = SecondsSince(start);
    return closedAt > 0 && s.frames.size() >= 12;
  }, 20));
  std::printf("[ figures  ] a client holding half a packet was closed after %.2f s\n", closedAt);
  EXPECT_GE(closedAt, 10.0);
  EXPECT_TRUE(stuck.ClosedByServer(1));
  EXPECT_FALSE(other.ClosedByServer());
  other.Send(PacketBytes({99.0f}));
  ASSERT_TRUE(StepUntil(s.server, [&] { return s.frames.back() == 99.0f; }));
}

TEST(ClientLimits, ListensOnlyOnTheAddressAsked) {
  LimitedServer s;
  // Bound to 127.0.0.1: reachable there; a name that does not resolve is reported.
  LoopbackClient client(s.server.Port());
  client.Send(PacketBytes({3.0f}));
  ASSERT_TRUE(StepUntil(s.server, [&] { return s.frames.size() == 1; }));
  MessageLog log;
  TLiveServerSettings settings;
  settings.listenAddress = "no.such.host.invalid";
  settings.port = 0;
  settings.openToolWindow = false;
  TPDSServerObject unresolved(settings);
  EXPECT_FALSE(unresolved.Listening());
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].second.find("no.such.host.invalid"), std::string::npos);
}
