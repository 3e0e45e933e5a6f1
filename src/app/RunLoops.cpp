// The timed show's run loop: the show on the music as heard, with the viewer's keys.
#include "app/RunLoops.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>

#include "app/ClockLog.h"
#include "app/FrameCosts.h"
#include "app/Controls.h"
#include "app/Loading.h"
#include "app/PresentedFrame.h"
#include "app/ShowLinkLeader.h"
#include "platform/Audio.h"
#include "platform/DynamicResolution.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "show/Schedule.h"
#include "show/Seeking.h"
#include "show/ShowSnapshots.h"
#include "timeline/PictureLead.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// A late start advances the show at its design rate.
constexpr int AdvanceStepsPerSecond = 60;

// Shows the first frame of the design rate at or after show time target (the show's state
// brought there first by a jump, or a late start's advance), drawn with the generator reseeded
// from the show's time as the offscreen modes draw it.
void ShowFirstFrame(long frame) {
  // Drawn whole: a held frame has all the time it needs, and a screenshot of it is the frame.
  SetDrawingScale(FrameScale());
  ShowTime = static_cast<float>(static_cast<double>(frame) / AdvanceStepsPerSecond);
  FrameDelta = 1.0f / AdvanceStepsPerSecond;
  FramesPerSecond = static_cast<float>(AdvanceStepsPerSecond);
  const bool reseeding = ShowTimeReseedingEnabled();
  SetShowTimeReseeding(true);
  PresentShowFrameNow();
  SetShowTimeReseeding(reseeding);
  glFinish();
}

// Jumps to show time target: the frame a late start there shows.
void JumpTo(float target) { ShowFirstFrame(SeekShowTo(target, AdvanceStepsPerSecond)); }

// Frames of snapshots the viewer builds ahead each frame it shows (about a millisecond): the
// whole show is covered within a minute of playing; paused, ten times as many between two
// presentations of the frame held.
constexpr long SnapshotFramesPerFrame = 60;
constexpr long PausedSnapshotFrames = 600;
// A lost sound device is tried again this often.
constexpr double ReopenSeconds = 2.0;

// The run's end: how the sound went, for whoever hears a gap or sees the picture off the beat.
void ReportSound() {
  if (LoadedSampleCount() == 0) return;
  const OutputLatency latency = CurrentOutputLatency();
  std::fprintf(stderr, "vantrel: sound: %ld underruns; output latency %.1f ms %s; mixer %s\n", SoundUnderruns(),
               1000 * latency.seconds,
               latency.fromServer ? "as the sound server reports it" : "(one mixer buffer: no sound server reports it)",
               MixerAtRealTimePriority() ? "at real-time priority" : "at normal priority");
}
}  // namespace

void RunTimedShow(float start, bool loop, bool dynamicResolution, bool paused, int linkQuantum) {
  ViewerControls controls(loop, false, paused);
  controls.SetDynamicResolution(dynamicResolution);
  // From 800 x 600 (or the frame's size when smaller) up to the frame's, the screen's picture. A
  // late start's unseen frames are drawn at the size play starts at; a held frame is drawn whole.
  DynamicResolution resolution(1.0 / 60.0, FrameScale());
  // What the stretches ahead cost: the drawing is made smaller before a heavy one, not after its
  // first late frame.
  std::string costSource;
  const FrameCosts costs = PlayerFrameCosts(costSource);
  if (dynamicResolution && !paused) SetDrawingScale(resolution.Scale());
  if (paused) {
    ShowFirstFrame(AdvanceShowTo(start, AdvanceStepsPerSecond));
  } else if (start > 0) {
    AdvanceShowTo(start, AdvanceStepsPerSecond);
    // The drawing above is only queued; the show's clock and music must start once it is done.
    glFinish();
  }
  if (!paused) StartMusic(start);
  TETimer timer;
  // One line as the show's clock starts, after loading: whoever watches the run (the run-out
  // check, a rehearsal) can time the show itself without the loading in front of it.
  if (start > 0)
    std::fprintf(stderr, "vantrel: the show starts at %.3f s\n", start);
  else
    std::fprintf(stderr, "vantrel: the show starts\n");
  timer.Reset();
  float passStart = start;
  ClockLog clockLog;
  if (dynamicResolution) clockLog.Note("frame costs from " + costSource);
  // --link: the session follows the music heard, a frame at a time.
  std::optional<ShowLinkLeader> linkLeader;
  if (linkQuantum > 0) linkLeader.emplace(linkQuantum);
  PictureLead lead;
  long frames = 0;
  double previousStart = 0, presented = 0;
  float shown = passStart;  // the latest show time of this pass
  double heldMusic = ShowTime;  // while paused: the show time of the music when it stopped
  double lastReopen = SteadySeconds();  // the last try to open a lost sound device again
  // The show's clock starts again at show time `time` (a resume, a jump while playing): the
  // music from there, the frame timer and the picture's lead afresh.
  const auto restartClock = [&](float time) {
    StartMusic(time);
    timer.Reset();
    passStart = shown = time;
    frames = 0;
    lead = PictureLead{};
  };
  for (int pass = 1;; ) {
    if (IsKeyDown(1)) break;
    controls.TakeKeys();
    if (controls.QuitAsked()) break;
    // The window's size changed (a resize, full screen on or off): the frame is made again at its
    // picture size between frames; a held frame is drawn again in it.
    if (FitFrameToWindow()) {
      if (dynamicResolution) SetDrawingScale(resolution.SetCeiling(FrameScale()));
      if (controls.Paused()) {
        JumpTo(ShowTime);
        heldMusic = ShowTime;
        if (QuitRequested()) break;
        continue;
      }
    }
    if (controls.TakePauseChange()) {
      if (controls.Paused()) {
        const double heard = HeardMusicSeconds();
        heldMusic = std::isnan(heard) ? ShowTime : passStart + std::max(0.0, heard);
        StopMusic();
      } else {
        // The music again from the frame held: the heard clock restarts from the paused time.
        restartClock(ShowTime);
      }
    }
    if (const std::optional<float> target = controls.TakeJump()) {
      JumpTo(*target);
      clockLog.Jumped(*target, ShowTime, SteadySeconds() - controls.JumpKeySeconds());
      if (controls.Paused())
        heldMusic = ShowTime;
      else
        restartClock(ShowTime);
      if (QuitRequested()) break;
      continue;
    }
    if (controls.Paused()) {
      // The frame held, shown again with the display over it; the keyboard and events taken.
      clockLog.FrameStarts(ShowTime, std::nan(""), 0, 0, heldMusic, controls);
      if (linkLeader) linkLeader->Frame(heldMusic, false);
      // A window close or a terminate request ends a paused show too.
      if (PresentAgain(MainWindow) || QuitRequested()) break;
      PollKeyboard();
      // The time a held frame leaves goes into the snapshots for the next jumps.
      if (!ExtendShowSnapshots(PausedSnapshotFrames)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (ExitRequested) {
      if (!controls.Loop()) break;
      // Every pass after the first is a first run again: state, seed and music from 0 s.
      ResetShow();
      restartClock(0);
      std::fprintf(stderr, "vantrel: the show starts again (pass %d)\n", ++pass);
    }
    // The show's clock is the music as the viewer hears it (the frame timer when no music
    // plays), so every flash meets its sound; it holds at the pass's start until the first note
    // is heard. Each frame is drawn for the moment it will be seen, a little after it starts
    // (see PictureLead), and the clock never goes back. The frame timer still measures each
    // frame's duration.
    // A sound server that died may come back: the device is opened again now and then, and the
    // music goes on from the frame shown.
    if (SoundDeviceLost() && SteadySeconds() - lastReopen >= ReopenSeconds) {
      lastReopen = SteadySeconds();
      if (ReopenAudio()) {
        std::fprintf(stderr, "vantrel: the sound device takes sound again; the music goes on from %.1f s\n", ShowTime);
        restartClock(ShowTime);
      }
    }
    const float wall = timer.Tick();
    const double heard = HeardMusicSeconds();
    const double frameStart = timer.Now();
    if (frames++ > 0) {
      lead.Frame(timer.Delta, presented - previousStart);
      if (dynamicResolution)
        SetDrawingScale(resolution.FrameTook(timer.Delta, costs.At(shown), costs.MostAhead(shown, FrameCosts::Lookahead)));
    }
    previousStart = frameStart;
    const double music = std::isnan(heard) ? wall : std::max(0.0, heard + lead.Seconds());
    shown = std::max(shown, passStart + static_cast<float>(music));
    ShowTime = shown;
    FrameDelta = timer.Delta;
    FramesPerSecond = static_cast<float>(timer.Fps);
    clockLog.FrameStarts(ShowTime, heard, lead.Seconds(), frames > 1 ? timer.Delta : 0.0,
                         passStart + (std::isnan(heard) ? wall : heard), controls);
    // The session hears the music as the listener does: its heard clock already counts the output.
    if (linkLeader) linkLeader->Frame(passStart + (std::isnan(heard) ? wall : std::max(0.0, heard)), true);
    PresentShowFrameNow();
    presented = timer.Now();
    // The show ends once its length has been heard, not when the frame drawn ahead for the
    // moment it is seen passes it: the last frames stay up until the music's end.
    const double heardShow = passStart + (std::isnan(heard) ? wall : std::max(0.0, heard));
    if (ShowTime > ShowLength && heardShow > ShowLength) {
      ExitRequested = true;
      clockLog.ShowEnds(ShowTime, heardShow);
    }
    // A window close request ends the show after the current frame, like Escape.
    if (QuitRequested()) break;
    // Snapshots for later jumps, a little each frame.
    ExtendShowSnapshots(SnapshotFramesPerFrame);
  }
  ReportSound();
}
