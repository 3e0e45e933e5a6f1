// The live beat at its own tempo, read from the live mode's clock.
#include "live/LiveBeat.h"

#include <cmath>

#include "timeline/ShowClock.h"

LiveBeatState LiveBeat;

namespace {
constexpr float TwoPi = 6.28318530718f;
constexpr float BeatSeconds = 60.0f / LiveBpm;
}  // namespace

float LiveWave(float k) {
  if (!LiveBeat.External) return std::sin(ShowTime * k * TwoPi * LiveBpm / 60.0f);
  // The fraction of a period in double: beat counts grow large over a long set.
  const double periods = LiveBeat.ExternalBeats * k;
  return static_cast<float>(std::sin((periods - std::floor(periods)) * 2.0 * M_PI));
}

void FollowExternalBeat(double beats) {
  LiveBeat.External = true;
  LiveBeat.ExternalBeats = beats;
}

void ReleaseExternalBeat() {
  LiveBeat.External = false;
  LiveBeat.LastWholeBeat = std::numeric_limits<double>::quiet_NaN();
}

void AdvanceLiveBeat() {
  if (LiveBeat.External) {
    const double whole = std::floor(LiveBeat.ExternalBeats);
    if (whole != LiveBeat.LastWholeBeat) {
      if (!std::isnan(LiveBeat.LastWholeBeat)) LiveBeat.Flag = true;
      LiveBeat.LastWholeBeat = whole;
    }
    return;
  }
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
