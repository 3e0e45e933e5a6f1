// The two interactive run loops: the timed show on the music as heard, and the live mode.
#include "app/RunLoops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Loading.h"
#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/PDSServer.h"
#include "platform/Audio.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "show/Schedule.h"
#include "timeline/ShowClock.h"

namespace {
// A late start advances the show at its design rate.
constexpr int AdvanceStepsPerSecond = 60;
}  // namespace

void RunTimedShow(float start, bool loop) {
  if (start > 0) {
    AdvanceShowTo(start, AdvanceStepsPerSecond);
    // The drawing above is only queued; the show's clock and music must start once it is done.
    glFinish();
  }
  StartMusic(start);
  TETimer timer;
  // One line as the show's clock starts, after loading: whoever watches the run (the run-out
  // check, a rehearsal) can time the show itself without the loading in front of it.
  if (start > 0)
    std::fprintf(stderr, "vantrel: the show starts at %.3f s\n", start);
  else
    std::fprintf(stderr, "vantrel: the show starts\n");
  timer.Reset();
  float passStart = start;
  for (int pass = 1;; ) {
    if (IsKeyDown(1)) break;
    if (ExitRequested) {
      if (!loop) break;
      // Every pass after the first is a first run again: state, seed and music from 0 s.
      ResetShow();
      StartMusic(0);
      timer.Reset();
      passStart = 0;
      std::fprintf(stderr, "vantrel: the show starts again (pass %d)\n", ++pass);
    }
    // The show's clock is the music as the viewer hears it (the frame timer when no music
    // plays), so every flash meets its sound; it holds at the pass's start until the first note
    // is heard. The frame timer still measures each frame's duration.
    const float wall = timer.Tick();
    const double heard = HeardMusicSeconds();
    ShowTime = passStart + (std::isnan(heard) ? wall : static_cast<float>(std::max(0.0, heard)));
    FrameDelta = timer.Delta;
    FramesPerSecond = static_cast<float>(timer.Fps);
    DrawShowFrame();
    if (ShowTime > ShowLength) ExitRequested = true;
    // A window close request ends the show after the current frame, like Escape.
    if (QuitRequested()) break;
  }
}

void RunLiveMode(const ProgramOptions& options) {
  CreateLiveAssets();
  TLiveServerSettings settings;
  settings.listenAddress = options.listenAddress;
  settings.port = static_cast<uint16_t>(options.port);
  settings.oscPort = options.oscPort;
  TPDSServerObject server(settings);
  server.DrawPacketFrame = [] { DrawLiveFrame(); };
  server.DrawTimerFrame = [] { DrawShowFrame(); };
  server.Run();
  server.ReadWaitingOsc();
  // Two lines at the end of a live session, so that a soak or a rehearsal can check that every
  // packet and message that arrived was drawn or is counted where it went.
  std::fprintf(stderr,
               "vantrel: live mode drew %ld packets and %ld timer frames; %ld out-of-sync counts\n",
               server.PacketsHandled, server.TimerFrames, server.OutOfSyncCounts);
  const TLiveCloseCounts& closes = server.Closes;
  const OscCounts& osc = server.Osc.Counts;
  std::fprintf(stderr,
               "vantrel: closed %ld clients that left, %ld broken, %ld holding half a packet, %ld "
               "idle, %ld for newcomers; %ld packets lost with them; OSC drew %ld messages from %ld "
               "datagrams, %ld malformed, %ld unknown, %ld datagrams dropped by the system, %zu "
               "waiting at the close\n",
               closes.left, closes.failed, closes.halfPacket, closes.idle, closes.evicted,
               closes.packetsLost, server.OscFrames, osc.datagrams, osc.malformed, osc.unknown,
               osc.systemDropped, server.OscPending());
}
