// The show drawn at a fixed step of show time, the loop that capture, frames and the timedemo share.
#pragma once
#include <cstdio>

#include "app/Options.h"
#include "platform/Window.h"
#include "app/PresentedFrame.h"
#include "show/Seeking.h"
#include "timeline/ShowClock.h"

// Draws the show at a fixed step of 1 / fps and calls onFrame(frame) after each frame that lies
// within the show (ShowTime <= 207 s) until it returns false; the frame in which ShowTime passes
// 207 s is drawn, as in the run loop, but not handed on. The frames before from are not handed on
// either: those more than WarmUpSeconds before it are only advanced (every simulation, clock and
// random draw, nothing drawn), so a range late in the show costs little more than its own frames.
template <typename OnFrame>
void RunFixedStepShow(int fps, float from, OnFrame onFrame) {
  long first = 0;
  try {
    if (from > 0) first = AdvanceShowTo(from, fps);
  } catch (const QuitWhileLoading&) {
    std::fprintf(stderr, "\nvantrel: interrupted before %.2f s of show time\n", from);
    return;
  }
  for (long frame = first;; ++frame) {
    ShowTime = static_cast<float>(static_cast<double>(frame) / fps);
    FrameDelta = 1.0f / fps;
    FramesPerSecond = static_cast<float>(fps);
    PresentShowFrameNow();
    if (ShowTime > ShowLength || !onFrame(frame)) break;
    // SIGINT and SIGTERM are a quit request: stop and finish what was written.
    if (QuitRequested()) {
      std::fprintf(stderr, "\nvantrel: interrupted at %.2f s of show time\n", ShowTime);
      break;
    }
  }
}

// The frames of a whole show at fps.
long FramesInShow(int fps);
// The frames whose show time lies in [from, to] (at least 1, for the progress line).
long FramesInRange(const ProgramOptions& options);
// How many frames the flash guard softened, in gentle mode.
void ReportSoftenedFrames();
