// The beat clock's published values and its once-per-frame update.
#include "timeline/BeatClock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "timeline/Random.h"
#include "timeline/ShowClock.h"

float StepPosition = 0;
int32_t BeatStep = 0;
int32_t CurrentScene = 0;
float SceneTime = 0;
float Pulse1 = 0;
float Pulse2 = 0;
float Pulse3 = 0;
float Pulse4 = 0;
float Pulse3Random = 0;

int32_t SceneTrackAt(int64_t step) {
  return step >= 0 && step < SceneTrackLength ? SceneTrack[step] : 0;
}

uint8_t PulseTrackAt(int64_t step) {
  return step >= 0 && step < PulseTrackLength ? PulseTrack[step] : 0;
}

namespace {
// The step of the clock's last update; -1 before the first, so that a first frame past step 0
// (the live mode's first timer frame comes at 0.5 s) still starts the show's first scene.
int64_t PreviousStep = -1;

// Truncation toward zero that stays defined for any float: NaN and values outside the 32-bit
// range (never produced by the show's timer) give a step outside both tracks.
int32_t TruncateStep(float position) {
  if (!(position > -2147483520.0f && position < 2147483520.0f)) return INT32_MIN;
  return static_cast<int32_t>(position);
}

// The last switch step strictly between two steps, or -1 when none lies there. Only a frame
// longer than a step (below 12.4 frames a second) can jump over one.
int64_t LastSwitchBetween(int64_t previous, int64_t current) {
  const int64_t first = std::max<int64_t>(previous + 1, 0);
  for (int64_t step = std::min<int64_t>(current - 1, SceneTrackLength - 1); step >= first; --step)
    if (SceneTrackAt(step) != 0) return step;
  return -1;
}

// A triangle level around events of one kind: rises across the step before, falls across its own.
float TriangleLevel(int cur, int next, int kind, float frac) {
  float level = 0;
  if (cur == kind) level = 1 - frac;
  if (next == kind) level = frac;
  return level;
}

float StepPositionAt(float time) {
  return static_cast<float>(static_cast<long double>(Bpm) / 60 * time * 4);
}
}  // namespace

void RunBeatClock() {
  StepPosition = StepPositionAt(ShowTime);
  BeatStep = TruncateStep(StepPosition);
  SceneTime = SceneTime + FrameDelta;

  // Every frame inside a switch step sees the entry again, so SceneTime stays 0 for that step.
  const int32_t scene = SceneTrackAt(BeatStep);
  if (scene != 0) {
    CurrentScene = scene;
    SceneTime = 0;
  } else if (const int64_t skipped = LastSwitchBetween(PreviousStep, BeatStep); skipped >= 0) {
    // A long frame (the live mode's 0.5 s timer) passed over the switch step: its scene still
    // starts, and has run since the end of that step.
    CurrentScene = SceneTrackAt(skipped);
    SceneTime = static_cast<float>((static_cast<long double>(StepPosition) - (skipped + 1)) * 60 /
                                   (static_cast<long double>(Bpm) * 4));
  }
  PreviousStep = BeatStep;

  const int cur = PulseTrackAt(BeatStep);
  const int next = PulseTrackAt(static_cast<int64_t>(BeatStep) + 1);
  const float frac = StepPosition - static_cast<float>(BeatStep);

  Pulse1 = TriangleLevel(cur, next, 1, frac);
  Pulse2 = cur == 2 ? 1.0f : 0.0f;
  Pulse3 = TriangleLevel(cur, next, 3, frac);
  if (next == 3) Pulse3Random = Random();
  Pulse4 = TriangleLevel(cur, next, 4, frac);
}

void ResetBeatClock() {
  PreviousStep = -1;
  StepPosition = 0;
  BeatStep = 0;
  CurrentScene = 0;
  SceneTime = 0;
  Pulse1 = Pulse2 = Pulse3 = Pulse4 = 0;
  Pulse3Random = 0;
}

BeatClockState SaveBeatClock() {
  return {PreviousStep, StepPosition, BeatStep, CurrentScene, SceneTime, {Pulse1, Pulse2, Pulse3, Pulse4}, Pulse3Random};
}

void RestoreBeatClock(const BeatClockState& state) {
  PreviousStep = state.previousStep;
  StepPosition = state.stepPosition;
  BeatStep = state.beatStep;
  CurrentScene = state.currentScene;
  SceneTime = state.sceneTime;
  Pulse1 = state.pulses[0];
  Pulse2 = state.pulses[1];
  Pulse3 = state.pulses[2];
  Pulse4 = state.pulses[3];
  Pulse3Random = state.pulse3Random;
}

float StepStartTime(int32_t step) {
  if (step <= 0) return 0;
  // The nearest float to the exact time, then moved to the first one the clock truncates to step.
  float time = static_cast<float>(static_cast<long double>(step) * 60 / (static_cast<long double>(Bpm) * 4));
  const float infinity = std::numeric_limits<float>::infinity();
  while (TruncateStep(StepPositionAt(time)) < step) time = std::nextafter(time, infinity);
  while (time > 0 && TruncateStep(StepPositionAt(std::nextafter(time, 0.0f))) >= step)
    time = std::nextafter(time, 0.0f);
  return time;
}

std::vector<SceneStartSpan> SceneStartSpans() {
  std::map<int32_t, SceneStartSpan> spans;
  for (int32_t step = 0; step < SceneTrackLength; ++step) {
    const int32_t scene = SceneTrack[step];
    if (scene == 0) continue;
    const float time = StepStartTime(step);
    auto [entry, added] = spans.try_emplace(scene, SceneStartSpan{scene, time, time});
    if (!added) entry->second.last = time;
  }
  std::vector<SceneStartSpan> ordered;
  for (const auto& [scene, span] : spans) ordered.push_back(span);
  return ordered;
}
