// The program's one steady clock in seconds: timings, and stamps taken on any thread.
#pragma once
#include <chrono>

using SteadyClock = std::chrono::steady_clock;

// Seconds on the steady clock from its own epoch (the machine's start on Linux); never goes back.
inline double SteadySeconds() {
  return std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
}

// Seconds from start to now on the steady clock.
inline double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}
