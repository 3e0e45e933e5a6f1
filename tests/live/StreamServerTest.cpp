// The stream server over real loopback sockets: captions, packets in pieces, many clients, closing.
#include <SDL2/SDL.h>
#include <arpa/inet.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "live/LiveTestSupport.h"
#include "live/PDSServer.h"
#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/Terminate.h"
#include "platform/Window.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {
// A server on an ephemeral loopback port that records what every packet and timer event saw.
struct RecordingServer {
  explicit RecordingServer(bool toolWindow = false) : server(0, toolWindow) {
    server.DrawPacketFrame = [this] { frames.push_back(StreamValues); };
    server.DrawTimerFrame = [this] { timerTimes.push_back(ShowTime); };
    server.TimerInterval = std::chrono::hours(1);
  }
  TPDSServerObject server;
  std::vector<std::array<float, MaxStreamCount>> frames;
  std::vector<float> timerTimes;
};

bool IsAbsent(float value) { return std::bit_cast<uint32_t>(value) == AbsentStreamBits; }
}  // namespace

TEST(StreamServer, CaptionsFollowConnectionsAndTheLastPacket) {
  RecordingServer r;
  ASSERT_TRUE(r.server.Listening());
  EXPECT_EQ(r.server.OfflineCaption(), "Offline");
  EXPECT_EQ(r.server.Label1Caption(), "Reading 0 streams");
  {
    LoopbackClient first(r.server.Port());
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 1; }));
    EXPECT_EQ(r.server.OfflineCaption(), "ONLINE");
    LoopbackClient second(r.server.Port());
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 2; }));
    first.Send(PacketBytes(std::vector<float>(11, 0.5f)));
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
    EXPECT_EQ(r.server.Label1Caption(), "Reading 11 streams");
    first.Close();
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 1; }));
    // Another client is still connected, so the server is still online.
    EXPECT_EQ(r.server.OfflineCaption(), "ONLINE");
  }
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 0; }));
  EXPECT_EQ(r.server.OfflineCaption(), "Offline");
}

TEST(StreamServer, CountZeroDrawsAFrameWithEverySlotAbsent) {
  RecordingServer r;
  LoopbackClient client(r.server.Port());
  client.Send(PacketBytes({1, 2, 3}));
  client.Send(PacketBytes({}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 2; }));
  EXPECT_EQ(r.server.Label1Caption(), "Reading 0 streams");
  for (float value : r.frames[1]) EXPECT_TRUE(IsAbsent(value));
  for (float value : StreamValues) EXPECT_TRUE(IsAbsent(value));
}

TEST(StreamServer, CountOutsideRangeShowsOutOfSyncAndDrawsNothing) {
  for (int32_t bad : {65, -1}) {
    RecordingServer r;
    LoopbackClient client(r.server.Port());
    client.Send(PacketBytes({4.0f}));
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
    client.Send(CountBytes(bad));
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.OutOfSyncCounts == 1; }));
    EXPECT_EQ(r.server.Label1Caption(), "Out of sync");
    EXPECT_EQ(r.frames.size(), 1u);
    // The previous packet's values stay.
    EXPECT_EQ(StreamValues[0], 4.0f);
    // Only those 4 bytes were taken: the next packet is read normally.
    client.Send(PacketBytes({5.0f, 6.0f}));
    ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 2; }));
    EXPECT_EQ(r.frames[1][1], 6.0f);
    EXPECT_EQ(r.server.Label1Caption(), "Reading 2 streams");
  }
}

TEST(StreamServer, ManyPacketsInOneWriteAreEachHandledInOrder) {
  RecordingServer r;
  LoopbackClient client(r.server.Port());
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 100; ++i) {
    const auto packet = PacketBytes({static_cast<float>(i)});
    bytes.insert(bytes.end(), packet.begin(), packet.end());
  }
  client.Send(bytes);
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(r.frames[i][0], static_cast<float>(i));
}

TEST(StreamServer, InterleavingClientsAreBothServed) {
  RecordingServer r;
  LoopbackClient a(r.server.Port()), b(r.server.Port());
  const auto packetA = PacketBytes({1.0f, 1.0f});
  const auto packetB = PacketBytes({2.0f, 2.0f, 2.0f});
  // Each client's packets arrive in halves that interleave with the other's.
  for (int i = 0; i < 20; ++i) {
    a.Send({packetA.begin(), packetA.begin() + 5});
    b.Send({packetB.begin(), packetB.begin() + 7});
    r.server.Step(1);
    a.Send({packetA.begin() + 5, packetA.end()});
    b.Send({packetB.begin() + 7, packetB.end()});
    r.server.Step(1);
  }
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 40; }));
  int fromA = 0, fromB = 0;
  for (const auto& frame : r.frames) {
    if (frame[0] == 1.0f && IsAbsent(frame[2])) ++fromA;
    if (frame[0] == 2.0f && frame[2] == 2.0f) ++fromB;
  }
  EXPECT_EQ(fromA, 20);
  EXPECT_EQ(fromB, 20);
}

TEST(StreamServer, TimerFramesKeepTheirPaceWhileManyClientsFlood) {
  RecordingServer r;
  // Each packet takes 2 ms to draw; the timer is due every 10 ms.
  std::string order;
  r.server.DrawPacketFrame = [&] {
    order += 'P';
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  };
  r.server.DrawTimerFrame = [&] { order += 'T'; };
  r.server.TimerInterval = std::chrono::milliseconds(10);
  std::vector<std::unique_ptr<LoopbackClient>> clients;
  for (int c = 0; c < 8; ++c) clients.push_back(std::make_unique<LoopbackClient>(r.server.Port()));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 8; }));
  // The first tick is still on the default interval; from then on it is every 10 ms.
  ASSERT_TRUE(StepUntil(r.server, [&] { return !order.empty(); }));
  order.clear();
  std::vector<uint8_t> burst;
  for (int i = 0; i < 40; ++i) {
    const auto packet = PacketBytes({static_cast<float>(i)});
    burst.insert(burst.end(), packet.begin(), packet.end());
  }
  for (auto& client : clients) client->Send(burst);
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.PacketsHandled == 320; }, 20));
  // No more than two clients' shares of packets are drawn without a timer frame between them.
  size_t longest = 0, run = 0;
  for (char event : order) {
    run = event == 'P' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, 16u) << order;
}

TEST(StreamServer, GarbageFromOneClientDoesNotStopAnother) {
  RecordingServer r;
  LoopbackClient noisy(r.server.Port());
  // 1 MB of 0xFF: every word is the count -1. Sent from a thread, since the server reads it here.
  std::thread sender([&] { noisy.Send(std::vector<uint8_t>(1 << 20, 0xFF)); });
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.OutOfSyncCounts == (1 << 18); }, 30));
  sender.join();
  LoopbackClient good(r.server.Port());
  good.Send(PacketBytes({9.0f}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
  EXPECT_EQ(r.frames[0][0], 9.0f);
  EXPECT_EQ(r.server.Label1Caption(), "Reading 1 streams");
}

// A sender whose connection is reset in the middle of a packet, and a SIGPIPE to the program
// (as a write into a closed socket raises): only that sender and its half packet are lost.
TEST(StreamServer, ClientResetMidPacketAndSigpipeLoseOnlyThatClient) {
  InstallTerminateHandlers();
  RecordingServer r;
  LoopbackClient steady(r.server.Port());
  LoopbackClient broken(r.server.Port());
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 2; }));
  const auto half = PacketBytes({5.0f, 5.0f, 5.0f});
  broken.Send({half.begin(), half.end() - 3});
  steady.Send(PacketBytes({1.0f}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
  broken.Reset();
  raise(SIGPIPE);
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 1; }));
  steady.Send(PacketBytes({2.0f}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 2; }));
  EXPECT_EQ(r.frames[1][0], 2.0f);
  EXPECT_EQ(r.server.Closes.failed + r.server.Closes.left, 1);
  EXPECT_EQ(r.server.Closes.packetsLost, 1);
  EXPECT_EQ(TerminateSignal(), 0);
}

TEST(StreamServer, ClientLeavingMidPacketLosesOnlyThatPacket) {
  RecordingServer r;
  {
    LoopbackClient client(r.server.Port());
    auto bytes = PacketBytes({1.0f});
    const auto partial = PacketBytes({5.0f, 5.0f, 5.0f});
    bytes.insert(bytes.end(), partial.begin(), partial.end() - 2);
    client.Send(bytes);
  }
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.ClientCount() == 0 && r.frames.size() == 1; }));
  EXPECT_EQ(r.frames[0][0], 1.0f);
  LoopbackClient next(r.server.Port());
  next.Send(PacketBytes({2.0f}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 2; }));
  EXPECT_EQ(r.frames[1][0], 2.0f);
}

TEST(StreamServer, TimerTicksItsOwnClockIntoShowTime) {
  RecordingServer r;
  r.server.TimerInterval = std::chrono::milliseconds(20);
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.timerTimes.size() >= 3; }));
  EXPECT_GT(r.timerTimes[0], 0.0f);
  EXPECT_LT(r.timerTimes[0], r.timerTimes[1]);
  EXPECT_LT(r.timerTimes[1], r.timerTimes[2]);
  EXPECT_NEAR(FrameDelta, r.timerTimes[2] - r.timerTimes[1], 0.005f);
}

TEST(StreamServer, PortInUseIsReportedAndTheTimerFramesGoOn) {
  RecordingServer first;
  MessageLog log;
  TPDSServerObject second(first.server.Port(), false);
  EXPECT_FALSE(second.Listening());
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_NE(log.messages[0].second.find("already in use"), std::string::npos);
  int timerFrames = 0;
  second.DrawTimerFrame = [&] { ++timerFrames; };
  second.TimerInterval = std::chrono::milliseconds(10);
  ASSERT_TRUE(StepUntil(second, [&] { return timerFrames >= 2; }));
  EXPECT_FALSE(second.Closed());
}

TEST(StreamServer, ToolWindowShowsTheCaptionsAndClosingItEndsTheLoop) {
  EnsureGLContext();
  RecordingServer r(true);
  ASSERT_TRUE(r.server.ToolWindow.IsOpen());
  SDL_Window* window = SDL_GetWindowFromID(r.server.ToolWindow.WindowId());
  ASSERT_NE(window, nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(window), "PDSServerObject");
  int width = 0, height = 0;
  SDL_GetWindowSize(window, &width, &height);
  EXPECT_EQ(width, 220);
  EXPECT_EQ(height, 108);
  EXPECT_EQ(r.server.ToolWindow.Caption1(), "Offline");
  // Both labels carry ink: "Offline" is shorter than "Reading 0 streams".
  const int offlineInk = r.server.ToolWindow.InkPixels(0, 0, 178, 28);
  const int label1Ink = r.server.ToolWindow.InkPixels(0, 28, 178, 32);
  EXPECT_GT(offlineInk, 10);
  EXPECT_GT(label1Ink, offlineInk);
  // The third line: clients, packets in the last second, age of the last packet.
  EXPECT_EQ(r.server.ToolWindow.Caption3(), "0 clients, 0/s, no packet yet");
  EXPECT_GT(r.server.ToolWindow.InkPixels(0, 52, 178, 28), 10);
  // The fourth: the keys the live mode takes.
  EXPECT_EQ(r.server.ToolWindow.Caption4(), LiveKeysCaption);
  EXPECT_GT(r.server.ToolWindow.InkPixels(0, 80, 220, 28), 10);

  LoopbackClient client(r.server.Port());
  client.Send(PacketBytes({}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
  EXPECT_EQ(r.server.ToolWindow.Caption1(), "ONLINE");
  EXPECT_EQ(r.server.ToolWindow.Caption2(), "Reading 0 streams");
  EXPECT_NE(r.server.ToolWindow.InkPixels(0, 0, 178, 28), offlineInk);
  EXPECT_EQ(r.server.StatusCaption().rfind("1 client, 1/s, last 0.", 0), 0u) << r.server.StatusCaption();
  // The GL window keeps its context.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), MainWindow.RenderContext);

  // Many out-of-sync counts redraw the window once, not once each.
  const int redraws = r.server.ToolWindow.Redraws();
  client.Send(std::vector<uint8_t>(4000, 0xFF));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.server.OutOfSyncCounts == 1000; }));
  r.server.Step(0);
  EXPECT_EQ(r.server.ToolWindow.Caption2(), "Out of sync");
  EXPECT_LE(r.server.ToolWindow.Redraws() - redraws, 3);

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = r.server.ToolWindow.WindowId();
  SDL_PushEvent(&close);
  r.server.Run();  // returns only once the close was seen
  EXPECT_TRUE(r.server.Closed());
  // The close never reached the GL window's presentation.
  EXPECT_FALSE(QuitRequested());
}

TEST(StreamServer, TheToolWindowWorksBesideAFrameOf1600By1200) {
  EnsureGLContext();
  ASSERT_TRUE(CreateShowFrame(1600, 1200));
  SetDrawingViewport();
  RecordingServer r(true);
  // Each packet's frame fills the whole large frame; the tool window draws its captions between.
  r.server.DrawPacketFrame = [&r] {
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    r.frames.push_back(StreamValues);
  };
  ASSERT_TRUE(r.server.ToolWindow.IsOpen());
  LoopbackClient client(r.server.Port());
  client.Send(PacketBytes({0.5f}));
  ASSERT_TRUE(StepUntil(r.server, [&] { return r.frames.size() == 1; }));
  r.server.Step(0);
  EXPECT_EQ(r.server.ToolWindow.Caption1(), "ONLINE");
  EXPECT_EQ(r.server.ToolWindow.Caption2(), "Reading 1 streams");
  EXPECT_GT(r.server.ToolWindow.InkPixels(0, 0, 178, 28), 10);
  EXPECT_GT(r.server.ToolWindow.InkPixels(0, 28, 178, 32), 10);
  // The GL window's context and its frame are as the show left them, to the far corner.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), MainWindow.RenderContext);
  EXPECT_EQ(ShowFrameWidth(), 1600);
  EXPECT_EQ(ShowFrameHeight(), 1200);
  const Pixel corner = ReadPixel(1599, 1199);
  CreateShowFrame(DesignWidth, DesignHeight);
  SetDrawingViewport();
  EXPECT_NEAR(corner.r, 64, 1);
  EXPECT_NEAR(corner.g, 128, 1);
  EXPECT_NEAR(corner.b, 191, 1);
}

TEST(StreamServer, ClosingTheGLWindowAlsoEndsTheLoop) {
  EnsureGLContext();
  RecordingServer r(true);
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(MainWindow.Handle));
  SDL_PushEvent(&close);
  r.server.Run();
  EXPECT_TRUE(r.server.Closed());
}
