// The show's two compiled-in sync tracks, indexed by sixteenth-note steps of the music.
#pragma once
#include <cstdint>

// Beats per minute of the music; four steps per beat, so 12.4 steps a second.
inline constexpr float Bpm = 186.0f;
inline constexpr int SceneTrackLength = 2432;
inline constexpr int PulseTrackLength = 2304;

// Per step: 0 for no switch, otherwise the scene number that starts at that step.
extern const int32_t SceneTrack[SceneTrackLength];
// Per step: 0 for no event, otherwise the pulse kind 1 to 4 that falls on that step.
extern const uint8_t PulseTrack[PulseTrackLength];
