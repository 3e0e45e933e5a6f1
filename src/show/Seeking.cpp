// Late starts, jumps and resets: the show brought to a frame from its snapshots.
#include "show/Seeking.h"

#include <cstdint>

#include "platform/SteadyClock.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "show/FrameGuard.h"
#include "show/Schedule.h"
#include "show/ShowSnapshots.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
AdvanceFigures Figures;

// The generator's seed as loading left it: every pass of the show starts from it.
uint32_t ShowStartSeed = 0;

float TimeOfFrame(long frame, int framesPerSecond) {
  return static_cast<float>(static_cast<double>(frame) / framesPerSecond);
}

// The first frame at or after target (a target past the show's end: the first frame after it).
long FirstFrameAt(float target, int framesPerSecond) {
  long first = 0;
  while (TimeOfFrame(first, framesPerSecond) < target && !(TimeOfFrame(first, framesPerSecond) > ShowLength))
    ++first;
  return first;
}
}  // namespace

const AdvanceFigures& LastAdvanceFigures() { return Figures; }

long AdvanceShowTo(float target, int framesPerSecond) {
  ResetShow();
  Figures = AdvanceFigures{};
  const auto timeOf = [framesPerSecond](long frame) { return TimeOfFrame(frame, framesPerSecond); };
  // The first frame of the warm-up.
  const long first = FirstFrameAt(target, framesPerSecond);
  long warmUp = 0;
  while (warmUp < first && timeOf(warmUp) < target - WarmUpSeconds) ++warmUp;
  const auto setClock = [&](long frame) {
    ShowTime = timeOf(frame);
    FrameDelta = 1.0f / framesPerSecond;
    FramesPerSecond = static_cast<float>(framesPerSecond);
  };
  // Reseeded from the show's time like the snapshots, so that a late start is the same on
  // every run.
  const bool reseeding = ShowTimeReseedingEnabled();
  SetShowTimeReseeding(true);
  BeginUnseenFrames();
  const double start = SteadySeconds();
  RestoreShowFrameState(warmUp, framesPerSecond);
  Figures.stateSeconds = SteadySeconds() - start;
  for (long frame = warmUp; frame < first; ++frame) {
    QuitCheckpoint();
    setClock(frame);
    DrawShowPicture();
    ++Figures.unseenFrames;
  }
  Figures.drawingSeconds = SteadySeconds() - start - Figures.stateSeconds;
  EndUnseenFrames();
  SetShowTimeReseeding(reseeding);
  return first;
}

long SeekShowTo(float target, int framesPerSecond) {
  RestoreRememberedState();
  ResetShow();
  Figures = AdvanceFigures{};
  const long first = FirstFrameAt(target, framesPerSecond);
  const double start = SteadySeconds();
  RestoreShowFrameState(first, framesPerSecond);
  Figures.stateSeconds = SteadySeconds() - start;
  return first;
}

void RecordShowStart() {
  ShowStartSeed = RandomSeed;
  ForgetShowSnapshots();
}

void ResetCarriedState() {
  ResetBeatClock();
  for (SceneStep reset : DistinctSceneSteps(&ShowScene::reset)) reset();
  RandomSeed = ShowStartSeed;
}

void ResetShow() {
  ResetCarriedState();
  ExitRequested = false;
  ResetFrameGuard();
}
