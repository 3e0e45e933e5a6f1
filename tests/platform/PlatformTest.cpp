// The frame timer, the keyboard mapping and the music layer.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/Audio.h"
#include "platform/Input.h"
#include "platform/Terminate.h"
#include "platform/Timer.h"
#include "support/TestSupport.h"

namespace {
void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

TEST(Timer, FirstTickReturnsTheIntervalSinceResetAndTheSameDelta) {
  TETimer timer;
  timer.Reset();
  SleepMs(30);
  const float elapsed = timer.Tick();
  EXPECT_GE(elapsed, 0.029f);
  EXPECT_LT(elapsed, 0.5f);
  EXPECT_NEAR(timer.Delta, elapsed, 0.002f);
}

TEST(Timer, FpsIsZeroUntilASecondHasPassedThenTheWindowCount) {
  TETimer timer;
  timer.Reset();
  const float windowStart = timer.WindowStart;
  int ticks = 0;
  for (;;) {
    // Readings taken around each tick say whether its window had certainly not closed yet or
    // certainly had; in between either is right.
    const float before = timer.Now();
    timer.Tick();
    ++ticks;
    const float after = timer.Now();
    if (after - windowStart <= 1.0f) {
      ASSERT_EQ(timer.Fps, 0) << "tick " << ticks << " at " << after - windowStart << " s";
      ASSERT_EQ(timer.FrameCount, ticks);
    }
    if (timer.Fps != 0) break;
    ASSERT_LE(before - windowStart, 1.0f) << "a tick over a second on did not close the window";
    SleepMs(50);
  }
  // The tick that closes the window counts, and the count restarts.
  EXPECT_EQ(timer.Fps, ticks);
  EXPECT_EQ(timer.FrameCount, 0);
  EXPECT_GT(timer.WindowStart - windowStart, 1.0f);
}

TEST(Timer, TickCountFallbackMovesInWholeMilliseconds) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0);
  TETimer timer(true);
  EXPECT_FALSE(timer.HasPerformanceCounter);
  EXPECT_FLOAT_EQ(timer.SecondsPerTick, 0.001f);
  timer.Reset();
  for (int i = 0; i < 5; ++i) {
    SleepMs(3);
    const float elapsed = timer.Tick();
    const float ms = elapsed * 1000.0f;
    EXPECT_NEAR(ms, std::round(ms), 1e-3f);
  }
}

TEST(Timer, ReadingsStayPreciseBecauseTheyAreRelativeToCreation) {
  TETimer timer;
  // Relative readings start near zero, where a float resolves far below a microsecond.
  EXPECT_LT(timer.Now(), 1.0f);
  timer.Reset();
  SleepMs(2);
  EXPECT_GT(timer.Tick(), 0.0f);
}

// timeout(1) passes one SIGTERM on twice (to the program and to its process group): the copy
// must not cut the orderly ending short.
TEST(Terminate, ACopyOfTheRequestArrivingAtOnceIsTheSameRequest) {
  InstallTerminateHandlers();
  raise(SIGTERM);
  raise(SIGTERM);
  EXPECT_EQ(TerminateSignal(), SIGTERM);
  ClearTerminateSignal();
}

// A main thread held in one long call (the GL driver compiling a frame's drawing on a loaded
// machine) still ends within the deadline after a signal; one that takes the request in time ends
// in its own order; a file being written is finished first. Each case runs in a process of its own.
TEST(TerminateDeathTest, TheDeadlineEndsAMainThreadThatDoesNotComeBack) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "builds with AddressSanitizer never arm the ending's deadline";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto requestThenHang = [](bool take, bool holdFile) {
    InstallTerminateHandlers();
    ArmTerminateDeadline(200);
    {
      std::optional<TerminateDeadlineHold> writing;
      if (holdFile) writing.emplace();
      raise(SIGTERM);
      if (take) TerminateSignal();
      SleepMs(600);
      std::fputs("file written\n", stderr);
    }
    SleepMs(take ? 0 : 30000);
    std::exit(3);
  };
  EXPECT_EXIT(requestThenHang(false, false), testing::ExitedWithCode(0),
              "did not come back to the request to end within 200 ms");
  EXPECT_EXIT(requestThenHang(true, false), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(requestThenHang(false, true), testing::ExitedWithCode(0), "file written\n.*within 200 ms");
}

TEST(Keyboard, ScancodesMapToDirectInputCodes) {
  EXPECT_EQ(DirectInputKeyCode(SDL_SCANCODE_ESCAPE), 1);
  EXPECT_EQ(DirectInputKeyCode(SDL_SCANCODE_SPACE), 0x39);
  EXPECT_EQ(DirectInputKeyCode(SDL_SCANCODE_A), 0x1E);
  EXPECT_EQ(DirectInputKeyCode(SDL_SCANCODE_UP), 0xC8);

  uint8_t sdlState[SDL_NUM_SCANCODES] = {};
  uint8_t keys[256];
  sdlState[SDL_SCANCODE_ESCAPE] = 1;
  sdlState[SDL_SCANCODE_RETURN] = 1;
  TranslateKeyState(sdlState, SDL_NUM_SCANCODES, keys);
  EXPECT_EQ(keys[1], 0x80);
  EXPECT_EQ(keys[0x1C], 0x80);
  int held = 0;
  for (uint8_t k : keys) held += k != 0;
  EXPECT_EQ(held, 2);
}

TEST(Keyboard, EveryKeyIsUpBeforeTheFirstPollAndWithoutADevice) {
  ReleaseKeyboard();
  for (int k = 0; k < 256; ++k) EXPECT_FALSE(IsKeyDown(static_cast<uint8_t>(k)));
  PollKeyboard();  // no device: still nothing held
  EXPECT_FALSE(IsKeyDown(1));
}

namespace {
// A mono 16-bit WAV of a steady square wave.
std::vector<uint8_t> MonoWav(int seconds) {
  const int rate = 44100, samples = rate * seconds;
  std::vector<uint8_t> out;
  auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF); };
  auto put16 = [&](uint16_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8); };
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put32(36 + samples * 2);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16); put16(1); put16(1); put32(rate); put32(rate * 2); put16(2); put16(16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(samples * 2);
  for (int i = 0; i < samples; ++i) put16(static_cast<uint16_t>((i / 50) % 2 ? 12000 : -12000));
  return out;
}
}  // namespace

TEST(Audio, APannedSampleRecordedThroughTheDiskDriverPlaysLeftAtHalfLevel) {
  TempDir dir;
  WriteFile(dir.File("tone.wav"), MonoWav(2));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);
  ASSERT_TRUE(InitAudio(GLWindow{}));
  EXPECT_EQ(LoadSample(dir.File("missing.mp3").c_str()), -1);
  EXPECT_EQ(LoadedSampleCount(), 0);
  EXPECT_EQ(PlaySample(-1, 100, 50), -1);  // a failed slot plays nothing
  const int slot = LoadSample(dir.File("tone.wav").c_str());
  ASSERT_EQ(slot, 0);
  EXPECT_EQ(LoadedSampleCount(), 1);
  EXPECT_GE(PlaySample(slot, 100, 50), 0);
  SleepMs(400);
  CloseAudio();
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  const std::vector<uint8_t> raw = ReadFile(dir.File("out.raw"));
  ASSERT_GT(raw.size(), 4000u);
  const auto* frames = reinterpret_cast<const int16_t*>(raw.data());
  const size_t count = raw.size() / 4;
  double left = 0, right = 0;
  for (size_t i = 0; i < count; ++i) {
    left += std::abs(frames[2 * i]);
    right += std::abs(frames[2 * i + 1]);
  }
  ASSERT_GT(right, 0);
  EXPECT_NEAR(left / right, 0.5, 0.02);
}

// The disk driver at its real pace (a 1024-frame buffer every 23 ms or a little more).
TEST(Audio, TheFirstSoundFollowsWithinABufferAndTheHeardClockTracksTheDevice) {
  TempDir dir;
  WriteFile(dir.File("tone.wav"), MonoWav(3));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str(), 1);
  unsetenv("SDL_DISKAUDIODELAY");
  ASSERT_TRUE(InitAudio(GLWindow{}));
  const int slot = LoadSample(dir.File("tone.wav").c_str());
  ASSERT_EQ(slot, 0);
  EXPECT_TRUE(std::isnan(HeardMusicSeconds())) << "nothing started yet";
  SleepMs(100);
  // The file may lag the device by one buffer (the file is buffered).
  const size_t framesBefore = ReadFile(dir.File("out.raw")).size() / 4;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_GE(PlaySample(slot, 100, 0), 0);
  EXPECT_LT(HeardMusicSeconds(), 0.0) << "nothing can be heard at once";
  double previous = -1;
  for (int i = 0; i < 30; ++i) {
    SleepMs(50);
    const double heard = HeardMusicSeconds();
    ASSERT_FALSE(std::isnan(heard));
    EXPECT_GE(heard, previous) << "the clock never goes back";
    previous = heard;
  }
  const double heardAtEnd = HeardMusicSeconds();
  const double wallAtEnd = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  CloseAudio();
  unsetenv("SDL_DISKAUDIOFILE");
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  const std::vector<uint8_t> raw = ReadFile(dir.File("out.raw"));
  const size_t count = raw.size() / 4;
  const auto* frames = reinterpret_cast<const int16_t*>(raw.data());
  size_t firstSound = count;
  for (size_t i = 0; i < count && firstSound == count; ++i)
    if (frames[2 * i] != 0) firstSound = i;
  // The sample starts with the next buffer the mixer fills: the one after the call, or the
  // one after that when the mixer was filling one during the call (one more for the file's lag).
  EXPECT_LE(firstSound, framesBefore + 3 * MixBufferFrames);
  EXPECT_EQ(firstSound % MixBufferFrames, 0u) << "a sample starts on a buffer's first frame";

  // At the end the device had written the buffers up to the last one stamped, and perhaps one
  // more before it closed; the first frame of the last one stamped is heard one buffer later.
  // So the written sound leads the clock by one to three buffers, give or take what smoothing
  // costs. This driver sleeps a buffer's length after each write and so runs slower than the
  // wall clock, by a few per cent on a quiet machine and by up to a fifth on a busy one, where
  // it also stalls; the clock follows that at its bounded rate, so here it is only held to
  // within 0.3 s of the written sound (its precision is shown with a simulated device in the
  // clock's own tests). The printed figures show how far a wall timer alone would be off.
  const double buffer = static_cast<double>(MixBufferFrames) / 44100;
  const double written = static_cast<double>(count - firstSound) / 44100;
  std::printf("heard clock: %.3f s after %.3f s of wall time, %.3f s written: it trails the device by %.1f ms "
              "(one buffer is %.1f ms; a wall timer would lead it by %.1f ms)\n",
              heardAtEnd, wallAtEnd, written, (written - heardAtEnd) * 1000, buffer * 1000,
              (wallAtEnd - written) * 1000);
  EXPECT_GE(written - heardAtEnd, buffer - 0.3);
  EXPECT_LE(written - heardAtEnd, 3 * buffer + 0.3);
}
