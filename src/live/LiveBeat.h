// The live beat: the waves the layers move with and the trigger raised once a beat.
#pragma once
#include <limits>

inline constexpr float LiveBpm = 157.0f;

struct LiveBeatState {
  // Seconds since the last beat trigger, and the trigger itself (lowered by the layer using it).
  float Timer = 0;
  bool Flag = false;
  // The clock reading the beat last advanced with; none at first.
  float LastClock = std::numeric_limits<float>::quiet_NaN();
  // Set while a MIDI clock or the sound drives the beat: the beat position it gives.
  bool External = false;
  double ExternalBeats = 0;
  double LastWholeBeat = std::numeric_limits<double>::quiet_NaN();
};
extern LiveBeatState LiveBeat;

// sin(ShowTime * k * 2 pi * LiveBpm / 60): k periods a beat; with an external beat, k periods of
// its beat position.
float LiveWave(float k);
// Adds FrameDelta to the beat timer once per reading of the clock (ShowTime, which the live
// mode's timer sets); past one beat raises LiveBeat.Flag and takes the whole beats off.
void AdvanceLiveBeat();
// The beat at this position from now on (a MIDI clock or the sound's tempo); whole beats
// raise the trigger.
void FollowExternalBeat(double beats);
// The beat runs at its own tempo from the live mode's clock again.
void ReleaseExternalBeat();
// The beat timer at 0, the trigger lowered, no clock reading taken yet.
void ResetLiveBeat();
