// The command line: the show's exact switches among the first entries (found by hand), then our
// long options (read by CLI11).
#include "app/Options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "app/DrawingSize.h"
#include "platform/CommandLine.h"
#include "show/Schedule.h"
#include "timeline/ShowClock.h"

namespace {
using Mode = ProgramOptions::Mode;

// How a refused time names where the show's times lie.
std::string ShowSpan() { return "0 to " + std::to_string(static_cast<int>(ShowLength)) + " seconds"; }

// "--start T" in seconds within the show, or "scene:N" for the first start of scene N: "" when
// text is one and start is set, otherwise why not.
std::string ReadStart(const std::string& text, float& start) {
  const std::string prefix = "scene:";
  if (text.rfind(prefix, 0) == 0) {
    const auto number = ReadNumber(text.substr(prefix.size()), {-1e6, 1e6, true});
    if (const ShowScene* found = number ? FindShowScene(static_cast<int>(*number)) : nullptr) {
      start = found->firstStart;
      return {};
    }
    return "--start: " + text + " is no scene of the show (vantrel --list-scenes shows them)";
  }
  if (const auto time = ReadNumber(text, {0, ShowLength})) {
    start = static_cast<float>(*time);
    return {};
  }
  return "--start: " + text + " is not a time from " + ShowSpan() + " or scene:N";
}

// A time given to --from or --to: "" when text is one, within range, and time is set, otherwise
// why not. The show is 0 to 207 s, but a range's ends may lie up to a frame outside it: a range
// drawn half a frame either side of the first or the last frame reaches that far (so
// scripts/render-segments.sh and scripts/compare-frames.sh ask for their frames).
std::string ReadTime(const char* name, const std::string& text, NumberRange range, float& time) {
  if (const auto value = ReadNumber(text, range)) {
    time = static_cast<float>(*value);
    return {};
  }
  return std::string(name) + ": " + text + " is not a time of the show (" + ShowSpan() + ")";
}
// Which switches go together: "" when those given do, otherwise why not.
std::string RefuseCombination(const ProgramOptions& options, bool startGiven) {
  const bool liveOptions = !options.listenAddress.empty() || options.port != 1024 || options.oscPort >= 0;
  if ((liveOptions || !options.replay.empty()) && !options.live)
    return "--listen, --port, --osc and --replay belong to the live mode: add -pds";
  const bool listening = options.midi || options.audioIn || options.midiMonitor || !options.midiMap.empty() ||
                         !options.record.empty() || (!options.midiApi.empty() && options.mode != Mode::MidiList);
  if (listening && !options.live && options.mode != Mode::Help)
    return "--midi, --midi-map, --midi-monitor, --audio-in and --record belong to the live mode: add -pds";
  if (listening && options.mode != Mode::Show && options.mode != Mode::Help)
    return "--midi, --audio-in and --record listen to a live set; they do not go with --replay or the offscreen modes";
  if (!options.replay.empty() && options.mode != Mode::Capture)
    return "--replay renders a recorded set into a video: add --capture FILE.mp4";
  const bool offscreen =
      options.mode == Mode::Capture || options.mode == Mode::Frames || options.mode == Mode::Timedemo;
  if (options.width > 0 && !offscreen && options.mode != Mode::Help)
    return "--size sets the size of --capture, --frames and --timedemo (on a screen: --render-size)";
  const bool renderSize = options.renderWidth > 0 || options.renderNative;
  if (renderSize && offscreen)
    return "--render-size sets the drawing size on a screen; --capture, --frames and --timedemo take --size";
  if (renderSize && options.fullFrame)
    return "--full-frame draws at 800 x 600 always; it does not go with --render-size";
  std::string why;
  if (options.width > 0 && options.mode == Mode::Capture && !VideoSizeAllowed(options.width, options.height, why))
    return why;
  if (options.link && options.mode != Mode::Show && options.mode != Mode::Help)
    return "--link plays with a Link session on the network: the show or the live mode on a screen, not the offscreen modes";
  const bool timedShow = options.mode == Mode::Show && !options.live;
  if ((options.loop || startGiven || options.paused) && !timedShow && options.mode != Mode::Help &&
      options.mode != Mode::ListScenes)
    return "--loop, --start and --pause play the timed show; they do not go with -pds or the offscreen modes";
  return {};
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
         "                     [--render-size WxH|native] [--link [--link-quantum N]]\n"
         "       vantrel [-w] -pds [--listen ADDR] [--port P] [--osc PORT] [--gentle]\n"
         "                     [--render-size WxH|native]\n"
         "                     [--midi [PORT]] [--midi-api alsa|jack] [--midi-map FILE]\n"
         "                     [--midi-monitor] [--audio-in [DEVICE]] [--record SET]\n"
         "                     [--link [--link-quantum N]]\n"
         "       vantrel --midi-list [--midi-api alsa|jack] | --midi-map-default\n"
         "       vantrel -pds --replay SET --capture FILE.mp4 [--fps N] [--size WxH] [--gentle]\n"
         "       vantrel --capture FILE.mp4 [--fps N] [--from T] [--to T] [--size WxH] [--gentle]\n"
         "       vantrel --frames DIR [--fps N] [--from T] [--to T] [--size WxH] [--gentle]\n"
         "       vantrel --timedemo [--size WxH]\n"
         "       vantrel --version | --help\n"
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
         "  --link             join the Link session on the local network (every interface\n"
         "                     that is up): the live mode follows its tempo and phase and sets\n"
         "                     its tempo (OSC /tempo BPM); the show leads it at 186 BPM\n"
         "  --link-quantum N   with --link: beats in the phase the peers align, 1 to 16 (4)\n"
         "  --loop             play the show again from its start after its end, until Escape\n"
         "  --start T          start the show at T seconds (scene:N: where scene N first starts)\n"
         "  --pause            start paused on the first frame (Space plays)\n"
         "  --full-frame       always draw the whole 800 x 600 frame; without it, the player\n"
         "                     draws at the size the screen shows the picture at, and frames\n"
         "                     that run late are drawn smaller (down to 480 x 360) and scaled up\n"
         "  --render-size S    the player and the live mode draw every frame at the 4:3 picture\n"
         "                     that fits WxH (480x360 to 4096x3072), or at the screen's picture\n"
         "                     size (native); without it the live mode and gentle mode draw at\n"
         "                     the screen's size, at most 800 x 600 on a software renderer\n"
         "  --list-scenes      print each scene with its name and the times of its first and\n"
         "                     last start\n"
         "  --capture FILE     render the show offscreen into an H.264 MP4 with the music\n"
         "  --frames DIR       render the show offscreen and write PNG frames into DIR\n"
         "  --fps N            frames per second of show time for --capture and --frames (60)\n"
         "  --size WxH         with --capture, --frames or --timedemo: frames of W x H pixels\n"
         "                     (800x600) holding the largest 4:3 picture that fits, drawn at\n"
         "                     its own size (480x360 to 4096x3072), black bars around it\n"
         "  --from T, --to T   with --capture or --frames: only the frames whose show time lies\n"
         "                     in [T, T]; the show before T is advanced without drawing\n"
         "  --gentle           at most three flashes in any second, pulses, cuts and scenes\n"
         "                     alike, with less contrast (the rest softened or held back a\n"
         "                     moment); in live mode, slot 0's flash too\n"
         "  --timedemo         draw the whole show offscreen as fast as possible and print\n"
         "                     frame times per scene\n"
         "  --version          print the program's version and the build's git commit\n"
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
  // The show's own switches count only as entries 0 to 2, exactly as written, wherever else they
  // appear: a rule CLI11 has no words for. HasSwitch finds them by hand, and CLI11 passes every
  // "-w" and "-pds" by as an extra, as it does the words the show never read.
  options.live = HasSwitch(argc, argv, "-pds");
  options.windowed = HasSwitch(argc, argv, "-w");

  CLI::App app;
  app.set_help_flag();  // --help prints UsageText(), written by hand
  app.allow_extras();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::string capture, frames, start, from, to, size, renderSize;
  const CLI::Option* help = app.add_flag("-h,--help");
  const CLI::Option* version = app.add_flag("--version");
  // The switches that choose what the program does: the last one given holds.
  const std::pair<const CLI::Option*, Mode> modes[] = {
      {app.add_flag("--list-scenes"), Mode::ListScenes},
      {app.add_flag("--timedemo"), Mode::Timedemo},
      {app.add_flag("--midi-list"), Mode::MidiList},
      {app.add_flag("--midi-map-default"), Mode::MidiMapDefault},
      {app.add_option("--capture", capture)->type_name("a file name"), Mode::Capture},
      {app.add_option("--frames", frames)->type_name("a directory"), Mode::Frames}};
  app.add_flag("--loop", options.loop);
  app.add_flag("--pause", options.paused);
  app.add_flag("--gentle", options.gentle);
  app.add_flag("--full-frame", options.fullFrame);
  app.add_flag("--midi-monitor", options.midiMonitor);
  app.add_flag("--link", options.link);
  const CLI::Option* quantumOption =
      AddNumberOption(app, "--link-quantum", options.linkQuantum, {1, 16, true}, "a whole number of beats");
  const CLI::Option* startOption = app.add_option("--start", start)->type_name("a time in seconds or scene:N");
  AddNumberOption(app, "--fps", options.fps, {1, 1000, true}, "a whole number");
  const CLI::Option* sizeOption = app.add_option("--size", size)->type_name("a size such as 1920x1080");
  const CLI::Option* renderSizeOption =
      app.add_option("--render-size", renderSize)->type_name("a size such as 1440x1080, or native");
  const CLI::Option* fromOption = app.add_option("--from", from)->type_name("a time in seconds");
  const CLI::Option* toOption = app.add_option("--to", to)->type_name("a time in seconds");
  app.add_option("--listen", options.listenAddress)->type_name("an address");
  AddNumberOption(app, "--port", options.port, {1, 65535, true}, "a port number");
  AddNumberOption(app, "--osc", options.oscPort, {0, 65535, true}, "a port number");
  app.add_option("--replay", options.replay)->type_name("a recorded set");
  app.add_option("--record", options.record)->type_name("a recorded set");
  app.add_option("--midi-map", options.midiMap)->type_name("a file");
  app.add_option("--midi-api", options.midiApi)->type_name("alsa or jack")->check([](const std::string& api) {
    return api == "alsa" || api == "jack" ? std::string() : api + " is neither alsa nor jack";
  });
  // The port or device may be left out: a next entry that is a switch is not taken for it.
  const CLI::Option* midi = app.add_option("--midi", options.midiPort)->expected(0, 1);
  const CLI::Option* audioIn = app.add_option("--audio-in", options.audioDevice)->expected(0, 1);
  if (!ParseCommandLine<CLI::ParseError>(app, argc, argv, error)) return false;

  for (const CLI::Option* given : app.parse_order())
    for (const auto& [option, mode] : modes)
      if (given == option) options.mode = mode;
  if (options.mode == Mode::Capture) options.output = capture;
  if (options.mode == Mode::Frames) options.output = frames;
  if (help->count() > 0) options.mode = Mode::Help;
  // --version answers alone, whatever else the line asks for (bug reports paste it first).
  if (version->count() > 0 && options.mode != Mode::Help) {
    options.mode = Mode::Version;
    return true;
  }
  options.midi = midi->count() > 0;
  options.audioIn = audioIn->count() > 0;
  // The times, once --fps is known (a range's ends may reach a frame past the show's).
  const bool startGiven = startOption->count() > 0;
  const double frame = 1.0 / options.fps;
  std::string why;
  if (startGiven) why = ReadStart(start, options.start);
  if (why.empty() && fromOption->count() > 0) why = ReadTime("--from", from, {-frame, ShowLength}, options.from);
  if (why.empty() && toOption->count() > 0) why = ReadTime("--to", to, {0, ShowLength + frame}, options.to);
  if (why.empty() && options.from > options.to) why = "--from " + from + " lies after --to " + to;
  if (why.empty() && sizeOption->count() > 0) ParseDrawingSize(size, options.width, options.height, why);
  if (why.empty() && renderSizeOption->count() > 0) {
    options.renderNative = renderSize == "native";
    if (!options.renderNative)
      ParseDrawingSize(renderSize, options.renderWidth, options.renderHeight, why, "--render-size");
  }
  if (why.empty() && quantumOption->count() > 0 && !options.link) why = "--link-quantum goes with --link";
  if (why.empty()) why = RefuseCombination(options, startGiven);
  if (!why.empty()) {
    error = why;
    return false;
  }
  // The monitor alone listens to MIDI: it is how a performer finds what a controller sends.
  if (options.midiMonitor && !options.audioIn) options.midi = true;
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

