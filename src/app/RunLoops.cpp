// The two interactive run loops: the timed show on the music as heard, and the live mode.
#include "app/RunLoops.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Controls.h"
#include "app/Loading.h"
#include "live/LiveAssets.h"
#include "live/LiveFrame.h"
#include "live/MidiInput.h"
#include "live/PDSServer.h"
#include "platform/Audio.h"
#include "platform/DynamicResolution.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "show/Schedule.h"
#include "show/ShowSnapshots.h"
#include "timeline/PictureLead.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// A late start advances the show at its design rate.
constexpr int AdvanceStepsPerSecond = 60;

double UnixSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// VANTREL_CLOCK_LOG set: once a second, a line on stderr with the wall clock (Unix seconds, as
// screen and sound recorders stamp their input) as a frame starts, its show time, the music
// heard then (smoothed, and by the recent buffer stamps alone), the picture's lead and the
// drawing scale, then the show time the music heard stands for, whether the show is paused, the
// listening volume, whether it loops, whether the on-screen display is switched on and whether
// the mouse cursor is shown; with a recording of the run, it tells the program's own timing from the
// recorder's. The pass's end adds the frame times of the pass: how many frames, the share
// within 17 ms (a 60 Hz refresh), the median and the 95th percentile, the lowest scale. A line
// for every jump says where it landed and how long it took from its key to the frame shown.
class ClockLog {
 public:
  ClockLog() : enabled_(std::getenv("VANTREL_CLOCK_LOG") != nullptr) {}
  void FrameStarts(double showTime, double heard, double lead, double frameSeconds, double music,
                   const ViewerControls& controls) {
    if (!enabled_) return;
    if (frameSeconds > 0) frameSeconds_.push_back(frameSeconds);
    lowestScale_ = std::min(lowestScale_, DrawingScale());
    const double now = UnixSeconds();
    if (now - last_ < 1.0) return;
    last_ = now;
    std::fprintf(stderr,
                 "vantrel: clock wall %.3f show %.3f heard %.3f stamps %.3f lead %.1f ms scale %.2f music %.3f "
                 "paused %d volume %d loop %d display %d cursor %d\n",
                 now, showTime, heard, StampedMusicSeconds(), 1000 * lead, DrawingScale(), music,
                 controls.Paused() ? 1 : 0, ListeningVolume(), controls.Loop() ? 1 : 0,
                 controls.DisplayOn() ? 1 : 0, CursorShown() ? 1 : 0);
  }
  void Jumped(double target, double landed, double seconds) {
    if (!enabled_) return;
    std::fprintf(stderr, "vantrel: clock jump wall %.3f to %.3f landed %.6f in %.1f ms (state %.1f ms)\n",
                 UnixSeconds(), target, landed, 1000 * seconds, 1000 * LastAdvanceFigures().stateSeconds);
  }
  // The pass's end, with the show time heard when it was decided.
  void ShowEnds(double showTime, double heardShow) {
    if (!enabled_) return;
    std::fprintf(stderr, "vantrel: clock end wall %.3f show %.6f heard show %.6f\n", UnixSeconds(), showTime, heardShow);
    std::vector<double> times = frameSeconds_;
    std::sort(times.begin(), times.end());
    const auto within = std::upper_bound(times.begin(), times.end(), 0.017) - times.begin();
    const auto at = [&times](double share) { return times.empty() ? 0.0 : 1000 * times[static_cast<size_t>(share * (times.size() - 1))]; };
    std::fprintf(stderr, "vantrel: frame times %zu frames, %.1f %% within 17 ms, median %.1f ms, p95 %.1f ms, lowest scale %.2f\n",
                 times.size(), times.empty() ? 0.0 : 100.0 * within / times.size(), at(0.5), at(0.95), lowestScale_);
    frameSeconds_.clear();
    lowestScale_ = DrawingScale();
  }

 private:
  bool enabled_;
  double last_ = 0;
  std::vector<double> frameSeconds_;
  float lowestScale_ = 1.0f;
};

// Shows the first frame of the design rate at or after show time target (the show's state
// brought there first by a jump, or a late start's advance), drawn with the generator reseeded
// from the show's time as the offscreen modes draw it.
void ShowFirstFrame(long frame) {
  // Drawn whole: a held frame has all the time it needs, and a screenshot of it is the frame.
  SetDrawingScale(1.0f);
  ShowTime = static_cast<float>(static_cast<double>(frame) / AdvanceStepsPerSecond);
  FrameDelta = 1.0f / AdvanceStepsPerSecond;
  FramesPerSecond = static_cast<float>(AdvanceStepsPerSecond);
  const bool reseeding = ShowTimeReseedingEnabled();
  SetShowTimeReseeding(true);
  DrawShowFrame();
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
}  // namespace

void RunTimedShow(float start, bool loop, bool dynamicResolution, bool paused) {
  ViewerControls controls(loop, false, paused);
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
  PictureLead lead;
  DynamicResolution resolution;
  long frames = 0;
  double previousStart = 0, presented = 0;
  float shown = passStart;  // the latest show time of this pass
  double heldMusic = ShowTime;  // while paused: the show time of the music when it stopped
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
    const float wall = timer.Tick();
    const double heard = HeardMusicSeconds();
    const double frameStart = timer.Now();
    if (frames++ > 0) {
      lead.Frame(timer.Delta, presented - previousStart);
      if (dynamicResolution) SetDrawingScale(resolution.FrameTook(timer.Delta));
    }
    previousStart = frameStart;
    const double music = std::isnan(heard) ? wall : std::max(0.0, heard + lead.Seconds());
    shown = std::max(shown, passStart + static_cast<float>(music));
    ShowTime = shown;
    FrameDelta = timer.Delta;
    FramesPerSecond = static_cast<float>(timer.Fps);
    clockLog.FrameStarts(ShowTime, heard, lead.Seconds(), frames > 1 ? timer.Delta : 0.0,
                         passStart + (std::isnan(heard) ? wall : heard), controls);
    DrawShowFrame();
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
}

void RunLiveMode(const ProgramOptions& options) {
  CreateLiveAssets();
  TLiveServerSettings settings;
  settings.listenAddress = options.listenAddress;
  settings.port = static_cast<uint16_t>(options.port);
  settings.oscPort = options.oscPort;
  settings.recordPath = options.record;
  settings.listeners.midi = options.midi;
  settings.listeners.midiPort = options.midiPort;
  settings.listeners.midiSystem = options.midiApi == "alsa"   ? MidiSystem::Alsa
                                  : options.midiApi == "jack" ? MidiSystem::Jack
                                                              : MidiSystem::Any;
  settings.listeners.monitor = options.midiMonitor;
  settings.listeners.sound = options.audioIn;
  settings.listeners.soundDevice = options.audioDevice;
  if (options.midi || options.audioIn) settings.listeners.map = LoadControlMap(options);
  TPDSServerObject server(settings);
  server.DrawPacketFrame = [] { DrawLiveFrame(); };
  server.DrawTimerFrame = [] { DrawShowFrame(); };
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
}

bool ListMidiInputs(const ProgramOptions& options) {
  const MidiSystem system = options.midiApi == "alsa"   ? MidiSystem::Alsa
                            : options.midiApi == "jack" ? MidiSystem::Jack
                                                        : MidiSystem::Any;
  std::vector<std::string> names;
  std::string error;
  if (!ListMidiPorts(system, names, error)) {
    std::fprintf(stderr, "vantrel: no MIDI: %s\n", error.c_str());
    return false;
  }
  if (names.empty()) std::puts("no MIDI input ports (vantrel --midi opens a virtual one to connect to)");
  for (size_t i = 0; i < names.size(); ++i) std::printf("%zu: %s\n", i, names[i].c_str());
  return true;
}

ControlMap LoadControlMap(const ProgramOptions& options) {
  std::string path = options.midiMap;
  if (path.empty()) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = config && *config ? config : home ? std::string(home) + "/.config" : "";
    if (!base.empty() && std::ifstream(base + "/vantrel/midi.map")) path = base + "/vantrel/midi.map";
  }
  if (path.empty()) {
    std::fprintf(stderr, "vantrel: the built-in MIDI and sound map (vantrel --midi-map-default prints it)\n");
    return DefaultControlMap();
  }
  ControlMap map;
  std::ifstream file(path);
  if (!file) {
    ShowMessage("Error", "Cannot read the map " + path + ": the live mode listens with the built-in map.");
    return DefaultControlMap();
  }
  std::stringstream text;
  text << file.rdbuf();
  std::string error;
  if (!ParseControlMap(text.str(), map, error))
    ShowMessage("Error", "The map " + path + " " + error + ": that line and the ones after it are left out (" +
                             std::to_string(map.rules.size()) + " rules kept).");
  else
    std::fprintf(stderr, "vantrel: map %s, %zu rules\n", path.c_str(), map.rules.size());
  return map;
}
