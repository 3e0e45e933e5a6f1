// The live beat at its own tempo, read from the live mode's clock.
#include "live/LiveBeat.h"

#include <cmath>

#include "timeline/ShowClock.h"

LiveBeatState LiveBeat;

namespace {
constexpr float TwoPi = 6.28318530718f;
constexpr float BeatSeconds = 60.0f / LiveBpm;
}  // namespace

float LiveWave(float k) { return std::sin(ShowTime * k * TwoPi * LiveBpm / 60.0f); }

void AdvanceLiveBeat() {
  // Live frames come as fast as packets arrive, but the clock moves only with the timer: the beat
  // takes each clock reading's FrameDelta once, however many frames and layers draw with it.
  if (ShowTime == LiveBeat.LastClock) return;
  LiveBeat.LastClock = ShowTime;
  LiveBeat.Timer += FrameDelta;
  if (LiveBeat.Timer > BeatSeconds) {
    LiveBeat.Flag = true;
    // The timer's 0.5 s is longer than a beat: whole beats come off, so the timer stays below one.
    LiveBeat.Timer = std::fmod(LiveBeat.Timer, BeatSeconds);
  }
}

void ResetLiveBeat() { LiveBeat = LiveBeatState{}; }
