// The steady clock the offscreen modes time their frames and progress with.
#pragma once
#include <chrono>

using StopwatchClock = std::chrono::steady_clock;

// Seconds from start to now on the steady clock.
inline double SecondsSince(StopwatchClock::time_point start) {
  return std::chrono::duration<double>(StopwatchClock::now() - start).count();
}
