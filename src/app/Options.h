// The command line: the show's own switches and our additions, and the text of --help.
#pragma once
#include <string>

struct ProgramOptions {
  enum class Mode { Show, Capture, Frames, Timedemo, Help, Version, ListScenes, MidiList, MidiMapDefault };
  Mode mode = Mode::Show;
  bool live = false;      // "-pds" among command-line entries 0 to 2
  bool windowed = false;  // "-w" among command-line entries 0 to 2
  bool gentle = false;    // --gentle: flashes and inversions held below the flash threshold
  std::string output;     // capture file or frames directory
  int fps = 60;
  // --size WxH for the offscreen modes: the pictures written are this size, the largest 4:3
  // picture that fits drawn in them; 0 x 0: 800 x 600.
  int width = 0;
  int height = 0;
  float from = 0.0f;
  float to = 1.0e9f;  // no --to: to the show's end
  // Live mode: where the TCP server listens, the OSC port (-1: none), a recorded set to render.
  std::string listenAddress;  // empty: every interface
  int port = 1024;
  int oscPort = -1;
  std::string replay;         // with -pds and --capture: render this recording offline
  std::string record;         // with -pds: write every slot change of every source here
  // Live mode's ears: MIDI (port empty: a virtual port), its system, the map, the monitor;
  // the sound from a recording device (empty: the default one).
  bool midi = false;
  std::string midiPort;
  std::string midiApi;        // "alsa", "jack" or empty: whichever works
  std::string midiMap;        // empty: $XDG_CONFIG_HOME/vantrel/midi.map, else the default map
  bool midiMonitor = false;
  bool audioIn = false;
  std::string audioDevice;
  // --link: the live mode follows a Link session's tempo and phase, the timed show leads one;
  // --link-quantum: the beats of the phase (a bar).
  bool link = false;
  int linkQuantum = 4;
  bool loop = false;  // the timed show starts again after its end until Escape
  bool fullFrame = false;  // --full-frame: the player never draws the frame smaller when late
  // --render-size for the player and the live mode: renderWidth x renderHeight holds the picture
  // drawn (the largest 4:3 picture that fits), or renderNative: the screen's picture size;
  // neither: the mode chooses (see ScreenFrameSizing).
  int renderWidth = 0;
  int renderHeight = 0;
  bool renderNative = false;
  float start = 0.0f;  // show time the timed show starts at (--start, seconds or a scene's start)
  bool paused = false;  // --pause: the timed show starts paused on its first frame
};

// True when one of command-line entries 0, 1 and 2 equals name exactly (case-sensitive).
bool HasSwitch(int argc, const char* const* argv, const char* name);
// Reads the command line; returns false with a message in error for a malformed option.
bool ParseOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error);
// The text of --help.
std::string UsageText();
// The text of --list-scenes: each scene number with the show times of its first and last start
// and its name.
std::string SceneListText();
