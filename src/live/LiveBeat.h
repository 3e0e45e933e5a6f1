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
};
extern LiveBeatState LiveBeat;

// sin(ShowTime * k * 2 pi * LiveBpm / 60): k periods a beat.
float LiveWave(float k);
// Adds FrameDelta to the beat timer once per reading of the clock (ShowTime, which the live
// mode's timer sets); past one beat raises LiveBeat.Flag and takes the whole beats off.
void AdvanceLiveBeat();
// The beat timer at 0, the trigger lowered, no clock reading taken yet.
void ResetLiveBeat();
