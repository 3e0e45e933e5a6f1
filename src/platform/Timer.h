// TETimer: seconds since reset, the last frame's duration and a frames-per-second count.
#pragma once
#include <cstdint>

class TETimer {
 public:
  // Uses the steady high-resolution clock, or the 1 ms tick count when useTickCount is set.
  explicit TETimer(bool useTickCount = false);
  // Seconds since this timer was created (readings are relative to creation so that a long
  // machine uptime cannot eat the float's precision).
  float Now() const;
  void Reset();
  // Per-frame update; returns the seconds since Reset.
  float Tick();

  float SecondsPerTick = 0;
  bool HasPerformanceCounter = false;
  float StartTime = 0;
  float LastTime = 0;
  float Delta = 0;
  int32_t FrameCount = 0;
  float WindowStart = 0;
  int32_t Fps = 0;

 private:
  uint64_t ReadCounter() const;
  uint64_t CreationReading = 0;
};
