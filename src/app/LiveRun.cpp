// The live mode's run: its settings from the options, the server's drawing and keys, its counts.
#include "app/LiveRun.h"

#include <cstdio>
#include <cstdlib>

#include "app/Controls.h"
#include "app/MidiSetup.h"
#include "app/PresentedFrame.h"
#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/MidiInput.h"
#include "live/PDSServer.h"
#include "platform/Window.h"

void RunLiveMode(const ProgramOptions& options) {
  CreateLiveAssets();
  TLiveServerSettings settings;
  settings.listenAddress = options.listenAddress;
  settings.port = static_cast<uint16_t>(options.port);
  settings.oscPort = options.oscPort;
  settings.recordPath = options.record;
  settings.listeners.midi = options.midi;
  settings.listeners.midiPort = options.midiPort;
  settings.listeners.midiSystem = MidiSystemNamed(options.midiApi);
  settings.listeners.monitor = options.midiMonitor;
  settings.listeners.sound = options.audioIn;
  settings.listeners.soundDevice = options.audioDevice;
  if (options.midi || options.audioIn) settings.listeners.map = LoadControlMap(options);
  settings.link = options.link;
  settings.linkSettings.quantum = options.linkQuantum;
  // A frame is presented as it is drawn and seen from the next refresh: the beat is taken then.
  settings.linkSettings.leadSeconds = RefreshSeconds(MainWindow);
  settings.linkSettings.monitor = options.midiMonitor;
  settings.linkSettings.clockLog = std::getenv("VANTREL_CLOCK_LOG") != nullptr;
  TPDSServerObject server(settings);
  // Each frame is drawn at the window's picture size (see ScreenFrameSizing): a resized window's
  // frame is made again before the next frame, never while one is drawn.
  server.DrawPacketFrame = [] {
    FitFrameToWindow();
    DrawLiveFrame();
  };
  server.DrawTimerFrame = [] {
    FitFrameToWindow();
    PresentShowFrameNow();
  };
  // Full screen, screenshots and q; the rest of the viewer's keys belong to the timed show.
  ViewerControls controls(false, true);
  server.ViewerKeys = [&controls] {
    controls.TakeKeys();
    return controls.QuitAsked();
  };
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
  if (server.Listeners) {
    std::fprintf(stderr, "vantrel: frames drawn by source: %s; %s\n", server.SourcesCaption().c_str(),
                 server.Listeners->Summary().c_str());
  }
  if (server.Link) std::fprintf(stderr, "vantrel: %s\n", server.Link->Summary().c_str());
}
