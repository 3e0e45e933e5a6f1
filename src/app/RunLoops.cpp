// The two interactive run loops: the timed show from the frame timer, and the live mode.
#include "app/RunLoops.h"

#include <cstdio>

#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/PDSServer.h"
#include "platform/Input.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "show/Schedule.h"
#include "timeline/ShowClock.h"

void RunTimedShow() {
  TETimer timer;
  // One line as the show's clock starts, after loading: whoever watches the run (the run-out
  // check, a rehearsal) can time the show itself without the loading in front of it.
  std::fprintf(stderr, "vantrel: the show starts\n");
  timer.Reset();
  for (;;) {
    if (IsKeyDown(1)) break;
    if (ExitRequested) break;
    ShowTime = timer.Tick();
    FrameDelta = timer.Delta;
    FramesPerSecond = static_cast<float>(timer.Fps);
    DrawShowFrame();
    if (ShowTime > ShowLength) ExitRequested = true;
    // A window close request ends the show after the current frame, like Escape.
    if (QuitRequested()) break;
  }
}

void RunLiveMode() {
  CreateLiveAssets();
  TPDSServerObject server(1024);
  server.DrawPacketFrame = [] { DrawLiveFrame(); };
  server.DrawTimerFrame = [] { DrawShowFrame(); };
  server.Run();
  // One line at the end of a live session, so that a soak or a rehearsal can check that every
  // whole packet that arrived was drawn.
  std::fprintf(stderr,
               "vantrel: live mode drew %ld packets and %ld timer frames; %ld out-of-sync counts\n",
               server.PacketsHandled, server.TimerFrames, server.OutOfSyncCounts);
}
