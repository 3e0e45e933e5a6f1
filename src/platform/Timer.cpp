// Frame timer on std::chrono::steady_clock with a millisecond fall-back.
#include "platform/Timer.h"

#include <SDL2/SDL.h>

#include <chrono>

namespace {
constexpr uint64_t NanosecondsPerSecond = 1000000000ull;
}

TETimer::TETimer(bool useTickCount) {
  HasPerformanceCounter = !useTickCount;
  SecondsPerTick = HasPerformanceCounter ? static_cast<float>(1.0L / NanosecondsPerSecond) : 0.001f;
  CreationReading = ReadCounter();
}

uint64_t TETimer::ReadCounter() const {
  if (HasPerformanceCounter)
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  return SDL_GetTicks64();
}

float TETimer::Now() const {
  return static_cast<float>(static_cast<double>(ReadCounter() - CreationReading) * SecondsPerTick);
}

void TETimer::Reset() {
  const float t = Now();
  StartTime = t;
  LastTime = t;
  FrameCount = 0;
  WindowStart = Now();
}

float TETimer::Tick() {
  const float elapsed = Now() - StartTime;
  Delta = Now() - LastTime;
  LastTime = Now();
  FrameCount = FrameCount + 1;
  if (Now() - WindowStart > 1.0f) {
    Fps = FrameCount;
    FrameCount = 0;
    WindowStart = Now();
  }
  return elapsed;
}
