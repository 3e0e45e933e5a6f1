// The live mode's show frames: on the screen between the live frames whatever events are pending,
// and after hours of uptime no dearer than the one at the show's end.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "live/LiveTestSupport.h"
#include "live/PDSServer.h"
#include "scenes/SceneLoading.h"
#include "platform/GL.h"
#include "platform/Window.h"
#include "scenes/Scenes.h"
#include "show/Schedule.h"
#include "support/TestSupport.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// The generator's draws between two seeds (each point of a point field takes three).
long DrawsBetween(uint32_t from, uint32_t to) {
  long draws = 0;
  for (; from != to && draws < 1000000000; ++draws) from = from * 134775813u + 1u;
  return draws;
}
}  // namespace

TEST(LiveShowFrames, TimerAndPacketFramesAlternateOnTheScreenWhileEventsArePending) {
  EnsureGLContext();
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  TPDSServerObject server(0, false);
  server.TimerInterval = std::chrono::milliseconds(40);
  // What reached the screen, in order: L for a live frame, S for a show frame.
  std::string shown;
  long drawn = 0;
  auto present = [&](char kind) {
    ++drawn;
    // Events keep arriving while a frame is drawn, as from a busy desktop.
    SDL_Event user{};
    user.type = SDL_USEREVENT;
    SDL_PushEvent(&user);
    SDL_PushEvent(&user);
    const unsigned long before = PresentedFrames();
    PresentFrame(MainWindow);
    if (PresentedFrames() == before + 1) shown += kind;
  };
  server.DrawPacketFrame = [&] { present('L'); };
  server.DrawTimerFrame = [&] { present('S'); };
  constexpr int Packets = 120;
  std::thread sender([port = server.Port()] {
    LoopbackClient client(port);
    for (int n = 0; n < Packets; ++n) {
      client.Send(PacketBytes({0.5f}));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const bool done = StepUntil(server, [&] { return server.PacketsHandled == Packets; }, 20);
  sender.join();
  EXPECT_TRUE(done);
  std::printf("frames drawn %ld, shown %zu: %s\n", drawn, shown.size(), shown.c_str());
  EXPECT_EQ(static_cast<long>(shown.size()), drawn) << "every drawn frame reaches the screen";
  // Show frames come between live frames, not only before or after them.
  const size_t firstLive = shown.find('L'), lastLive = shown.rfind('L');
  ASSERT_NE(firstLive, std::string::npos);
  EXPECT_NE(shown.substr(firstLive, lastLive - firstLive).find('S'), std::string::npos);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

TEST(LiveShowFrames, ATimerFrameHoursInCostsNoMoreThanTheOneAt207Seconds) {
  EnsureGLContext();
  // Past 198 s the show's frame is its ending, which draws the flower scene first.
  std::error_code error;
  ASSERT_TRUE(std::filesystem::is_directory(GeneratedDataPath(""), error))
      << "the ending needs the data set";
  LoadSceneIn(GeneratedDataPath(""), LoadFlowerScene);
  const uint32_t savedSeed = RandomSeed;
  TPDSServerObject server(0, false);
  server.TimerInterval = std::chrono::milliseconds(1);
  long draws = -1;
  server.DrawTimerFrame = [&draws] {
    const uint32_t before = RandomSeed;
    DrawShowFrame();
    draws = DrawsBetween(before, RandomSeed);
  };
  // The live clock made to read `seconds` at the next tick.
  auto timerFrameAt = [&](float seconds) {
    draws = -1;
    server.LiveTimer.StartTime = server.LiveTimer.Now() - seconds;
    EXPECT_TRUE(StepUntil(server, [&] { return draws >= 0; }));
    return draws;
  };
  timerFrameAt(0.0f);  // the first tick comes after the server's default half second
  const long atEnd = timerFrameAt(ShowLength);
  const float endTime = ShowTime;
  const long hoursIn = timerFrameAt(8 * 3600.0f);
  std::printf("timer frame at %.2f s: %ld draws; at %.0f s: %ld draws (ratio %.3f)\n", endTime,
              atEnd, ShowTime, hoursIn, static_cast<double>(hoursIn) / atEnd);
  EXPECT_GE(endTime, ShowLength);
  EXPECT_GT(ShowTime, 8 * 3600.0f - 1);
  // 141,001 stars of three draws each at 207 s, and not one more eight hours later.
  EXPECT_GE(atEnd, 3 * 141001);
  EXPECT_LE(hoursIn, atEnd);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  ResetBeatClock();
  ShowTime = FrameDelta = 0;
  RandomSeed = savedSeed;
}
