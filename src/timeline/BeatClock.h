// The beat clock: turns ShowTime into steps of the music, the current scene and the pulse levels.
#pragma once
#include <cstdint>
#include <vector>

#include "timeline/SyncTracks.h"

extern float StepPosition;    // ShowTime in steps (12.4 a second), with fraction
extern int32_t BeatStep;      // the whole part of StepPosition
extern int32_t CurrentScene;  // the last nonzero scene-track entry met; 0 before the first
extern float SceneTime;       // seconds since the current scene began
extern float Pulse1;          // white flash, 0 to 1, peaks at the start of a kind-1 step
extern float Pulse2;          // inversion, exactly 0 or 1 for the whole kind-2 step
extern float Pulse3;          // 0 to 1, peaks at the start of a kind-3 step
extern float Pulse4;          // 0 to 1, peaks at the start of a kind-4 step
extern float Pulse3Random;    // a new Random draw each frame of the step before a kind-3 event

// The scene-track entry at step; 0 for any step outside the track.
int32_t SceneTrackAt(int64_t step);
// The pulse-track entry at step; 0 for any step outside the track.
uint8_t PulseTrackAt(int64_t step);

// One clock update from ShowTime and FrameDelta; the show calls it once per frame below 198 s.
void RunBeatClock();
// Every published value back to 0, as at program start (tests and repeated offscreen runs).
void ResetBeatClock();
// Everything the clock carries from one update to the next, published or not, taken whole so
// that the show can be put back to an earlier frame.
struct BeatClockState {
  int64_t previousStep = -1;
  float stepPosition = 0;
  int32_t beatStep = 0;
  int32_t currentScene = 0;
  float sceneTime = 0;
  float pulses[4] = {};
  float pulse3Random = 0;
};
BeatClockState SaveBeatClock();
void RestoreBeatClock(const BeatClockState& state);

// The smallest ShowTime whose frame the beat clock places in step (0 for steps at or below 0).
float StepStartTime(int32_t step);
// A scene of the scene track with the ShowTimes of its first and last switch step.
struct SceneStartSpan {
  int32_t scene = 0;
  float first = 0;
  float last = 0;
};
// Every scene the track switches to, in ascending scene number.
std::vector<SceneStartSpan> SceneStartSpans();
