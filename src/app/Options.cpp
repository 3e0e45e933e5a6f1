// The command line: exact-match show switches among the first entries, then our long options.
#include "app/Options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/DrawingSize.h"
#include "show/Schedule.h"
#include "timeline/ShowClock.h"

namespace {
bool ParseNumber(const char* text, float& value) {
  char* end = nullptr;
  value = std::strtof(text, &end);
  return end != text && *end == '\0';
}

// A port number from lowest to 65535 in plain decimal.
bool ParsePort(const char* text, int lowest, int& port) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < lowest || value > 65535) return false;
  port = static_cast<int>(value);
  return true;
}

// "--start T" in seconds within the show, or "scene:N" for the first start of scene N.
bool ParseStart(const std::string& text, float& start, std::string& error) {
  const std::string prefix = "scene:";
  if (text.rfind(prefix, 0) == 0) {
    float scene = 0;
    if (ParseNumber(text.c_str() + prefix.size(), scene) && scene == static_cast<int>(scene)) {
      if (const ShowScene* found = FindShowScene(static_cast<int>(scene))) {
        start = found->firstStart;
        return true;
      }
    }
    error = "--start " + text + ": no such scene (vantrel --list-scenes shows them)";
    return false;
  }
  if (!ParseNumber(text.c_str(), start) || !(start >= 0 && start <= ShowLength)) {
    error = "--start needs a time from 0 to 207 seconds or scene:N";
    return false;
  }
  return true;
}

}  // namespace

bool HasSwitch(int argc, const char* const* argv, const char* name) {
  for (int i = 0; i < 3; ++i) {
    const char* entry = i < argc && argv[i] ? argv[i] : "";
    if (std::strcmp(entry, name) == 0) return true;
  }
  return false;
}

std::string UsageText() {
  return "Usage: vantrel [-w] [--loop] [--start T|scene:N] [--pause] [--gentle] [--full-frame]\n"
         "       vantrel [-w] -pds [--listen ADDR] [--port P] [--osc PORT] [--gentle]\n"
         "                     [--midi [PORT]] [--midi-api alsa|jack] [--midi-map FILE]\n"
         "                     [--midi-monitor] [--audio-in [DEVICE]] [--record SET]\n"
         "       vantrel --midi-list [--midi-api alsa|jack] | --midi-map-default\n"
         "       vantrel -pds --replay SET --capture FILE.mp4 [--fps N] [--gentle]\n"
         "       vantrel --capture FILE.mp4 [--fps N] [--from T] [--to T] [--gentle]\n"
         "       vantrel --frames DIR [--fps N] [--from T] [--to T] [--gentle]\n"
         "       vantrel --timedemo\n"
         "\n"
         "PHOTOSENSITIVITY WARNING: the show has fast full-screen flashes and inversions;\n"
         "--gentle holds the whole picture to at most three flashes a second, softened.\n"
         "\n"
         "  -w                 play in a window instead of full screen\n"
         "  -pds               live mode: TCP stream server on port 1024 with a tool window\n"
         "  --listen ADDR      live mode: listen on this address only (every interface)\n"
         "  --port P           live mode: TCP port of the stream server (1024)\n"
         "  --osc PORT         live mode: also take OSC messages on this UDP port\n"
         "  --replay SET       live mode with --capture: render a set recorded by\n"
         "                     vantrel-stream --record or -pds --record into the video\n"
         "  --record SET       live mode: write every slot value any source sets, with its\n"
         "                     time, as a set that --replay renders\n"
         "  --midi [PORT]      live mode: take MIDI controllers and clock, from a virtual\n"
         "                     port \"vantrel\" to connect to, or from PORT (number or name)\n"
         "  --midi-api API     alsa or jack (whichever works)\n"
         "  --midi-list        print the MIDI input ports and exit\n"
         "  --midi-map FILE    the map from controls and sound to slots (default\n"
         "                     $XDG_CONFIG_HOME/vantrel/midi.map, else the built-in map)\n"
         "  --midi-map-default print the built-in map, with its syntax, and exit\n"
         "  --midi-monitor     print every MIDI message and sound event as it comes\n"
         "  --audio-in [DEV]   live mode: listen to a recording device (default: the system's)\n"
         "                     for onsets, kicks, tempo and band loudness\n"
         "  --loop             play the show again from its start after its end, until Escape\n"
         "  --start T          start the show at T seconds (scene:N: where scene N first starts)\n"
         "  --pause            start paused on the first frame (Space plays)\n"
         "  --full-frame       always draw the whole 800 x 600 frame; without it, frames that\n"
         "                     run late are drawn smaller (down to 60 % a side) and scaled up\n"
         "  --list-scenes      print each scene with its name and the times of its first and\n"
         "                     last start\n"
         "  --capture FILE     render the show offscreen into an H.264 MP4 with the music\n"
         "  --frames DIR       render the show offscreen and write PNG frames into DIR\n"
         "  --fps N            frames per second of show time for --capture and --frames (60)\n"
         "  --from T, --to T   with --capture or --frames: only the frames whose show time lies\n"
         "                     in [T, T]; the show before T is advanced without drawing\n"
         "  --gentle           at most three flashes in any second, pulses, cuts and scenes\n"
         "                     alike, with less contrast (the rest softened or held back a\n"
         "                     moment); in live mode, slot 0's flash too\n"
         "  --timedemo         draw the whole show offscreen as fast as possible and print\n"
         "                     frame times per scene\n"
         "  --help, -h         this text\n"
         "\n"
         "Keys while the show plays (in a window or full screen):\n"
         "  Space, p           pause or resume, the music with the picture\n"
         "  Left, Right        5 s back or forward       Up, Down    60 s forward or back\n"
         "  Home               back to the start         , .         a frame back or forward\n"
         "                                                           (while paused)\n"
         "  f, F11, Alt+Enter  full screen or a window (a double click too)\n"
         "  s                  save the frame as vantrel-<show time>.png in the pictures\n"
         "                     folder (else the current folder)\n"
         "  m                  mute                      9, 0        volume down or up 10 %\n"
         "  o                  on-screen display on or off (shown 2 s after each key anyway)\n"
         "  L                  loop on or off\n"
         "  q, Escape          quit\n"
         "The live mode takes f, s and q.\n";
}

bool ParseOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error) {
  bool startGiven = false;
  // The show's own switches: exact matches among entries 0 to 2.
  options.live = HasSwitch(argc, argv, "-pds");
  options.windowed = HasSwitch(argc, argv, "-w");
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto needValue = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        error = arg + " needs " + what;
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.mode = ProgramOptions::Mode::Help;
    } else if (arg == "--list-scenes") {
      options.mode = ProgramOptions::Mode::ListScenes;
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--pause") {
      options.paused = true;
    } else if (arg == "--start") {
      const char* value = needValue("a time in seconds or scene:N");
      if (!value || !ParseStart(value, options.start, error)) return false;
      startGiven = true;
    } else if (arg == "--capture" || arg == "--frames") {
      const char* value = needValue(arg == "--capture" ? "a file name" : "a directory");
      if (!value) return false;
      options.mode = arg == "--capture" ? ProgramOptions::Mode::Capture : ProgramOptions::Mode::Frames;
      options.output = value;
    } else if (arg == "--gentle") {
      options.gentle = true;
    } else if (arg == "--size") {
      const char* value = needValue("a size such as 1920x1080");
      if (!value || !ParseDrawingSize(value, options.width, options.height, error)) return false;
    } else if (arg == "--full-frame") {
      options.fullFrame = true;
    } else if (arg == "--timedemo") {
      options.mode = ProgramOptions::Mode::Timedemo;
    } else if (arg == "--fps") {
      const char* value = needValue("a number");
      float fps = 0;
      if (!value) return false;
      if (!ParseNumber(value, fps) || fps < 1 || fps > 1000 || fps != static_cast<int>(fps)) {
        error = "--fps needs a whole number from 1 to 1000";
        return false;
      }
      options.fps = static_cast<int>(fps);
    } else if (arg == "--from" || arg == "--to") {
      const char* value = needValue("a time in seconds");
      if (!value) return false;
      float& target = arg == "--from" ? options.from : options.to;
      if (!ParseNumber(value, target)) {
        error = arg + " needs a time in seconds";
        return false;
      }
    } else if (arg == "--listen" || arg == "--replay" || arg == "--record" || arg == "--midi-map") {
      const char* value = needValue(arg == "--listen" ? "an address" : arg == "--midi-map" ? "a file" : "a recorded set");
      if (!value) return false;
      (arg == "--listen" ? options.listenAddress : arg == "--replay" ? options.replay
                         : arg == "--record" ? options.record : options.midiMap) = value;
    } else if (arg == "--midi" || arg == "--audio-in") {
      // The port or device is optional: taken when the next entry is not a switch.
      std::string value;
      if (i + 1 < argc && argv[i + 1][0] != '-') value = argv[++i];
      (arg == "--midi" ? options.midi : options.audioIn) = true;
      (arg == "--midi" ? options.midiPort : options.audioDevice) = value;
    } else if (arg == "--midi-api") {
      const char* value = needValue("alsa or jack");
      if (!value) return false;
      options.midiApi = value;
      if (options.midiApi != "alsa" && options.midiApi != "jack") {
        error = "--midi-api takes alsa or jack";
        return false;
      }
    } else if (arg == "--midi-list") {
      options.mode = ProgramOptions::Mode::MidiList;
    } else if (arg == "--midi-map-default") {
      options.mode = ProgramOptions::Mode::MidiMapDefault;
    } else if (arg == "--midi-monitor") {
      options.midiMonitor = true;
    } else if (arg == "--port" || arg == "--osc") {
      const char* value = needValue("a port number");
      if (!value) return false;
      if (!ParsePort(value, arg == "--port" ? 1 : 0, arg == "--port" ? options.port : options.oscPort)) {
        error = arg + " needs a port number from " + (arg == "--port" ? "1" : "0") + " to 65535";
        return false;
      }
    } else if (arg == "-w" || arg == "-pds") {
      // Seen (or, past entry 2, deliberately not seen) by HasSwitch.
    } else if (arg.rfind("--", 0) == 0) {
      error = "unknown option " + arg;
      return false;
    }
  }
  const bool liveOptions = !options.listenAddress.empty() || options.port != 1024 || options.oscPort >= 0;
  if ((liveOptions || !options.replay.empty()) && !options.live) {
    error = "--listen, --port, --osc and --replay belong to the live mode: add -pds";
    return false;
  }
  const bool listening = options.midi || options.audioIn || options.midiMonitor || !options.midiMap.empty() ||
                         !options.record.empty() || (!options.midiApi.empty() && options.mode != ProgramOptions::Mode::MidiList);
  if (listening && !options.live && options.mode != ProgramOptions::Mode::Help) {
    error = "--midi, --midi-map, --midi-monitor, --audio-in and --record belong to the live mode: add -pds";
    return false;
  }
  if (listening && options.mode != ProgramOptions::Mode::Show && options.mode != ProgramOptions::Mode::Help) {
    error = "--midi, --audio-in and --record listen to a live set; they do not go with --replay or the offscreen modes";
    return false;
  }
  // The monitor alone listens to MIDI: it is how a performer finds what a controller sends.
  if (options.midiMonitor && !options.audioIn) options.midi = true;
  if (!options.replay.empty() && options.mode != ProgramOptions::Mode::Capture) {
    error = "--replay renders a recorded set into a video: add --capture FILE.mp4";
    return false;
  }
  const bool offscreen = options.mode == ProgramOptions::Mode::Capture ||
                         options.mode == ProgramOptions::Mode::Frames ||
                         options.mode == ProgramOptions::Mode::Timedemo;
  if (options.width > 0 && !offscreen && options.mode != ProgramOptions::Mode::Help) {
    error = "--size sets the size of --capture, --frames and --timedemo";
    return false;
  }
  if (options.width > 0 && options.mode == ProgramOptions::Mode::Capture &&
      !VideoSizeAllowed(options.width, options.height, error))
    return false;
  const bool timedShow = options.mode == ProgramOptions::Mode::Show && !options.live;
  if ((options.loop || startGiven || options.paused) && !timedShow &&
      options.mode != ProgramOptions::Mode::Help && options.mode != ProgramOptions::Mode::ListScenes) {
    error = "--loop, --start and --pause play the timed show; they do not go with -pds or the offscreen modes";
    return false;
  }
  return true;
}

std::string SceneListText() {
  std::vector<const ShowScene*> scenes;
  for (const ShowScene& scene : ShowScenes()) scenes.push_back(&scene);
  std::sort(scenes.begin(), scenes.end(),
            [](const ShowScene* a, const ShowScene* b) { return a->number < b->number; });
  std::string text = "scene   first start   last start   name\n";
  char line[96];
  for (const ShowScene* scene : scenes) {
    std::snprintf(line, sizeof line, "%5d   %9.3f s   %8.3f s   %s\n", scene->number,
                  scene->firstStart, scene->lastStart, scene->name);
    text += line;
  }
  return text;
}

