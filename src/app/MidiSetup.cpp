// The MIDI port listing and the map file's lookup: in the config folder, else built in.
#include "app/MidiSetup.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "live/MidiInput.h"
#include "platform/Messages.h"
#include "platform/UserFolders.h"

bool ListMidiInputs(const ProgramOptions& options) {
  std::vector<std::string> names;
  std::string error;
  if (!ListMidiPorts(MidiSystemNamed(options.midiApi), names, error)) {
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
    const std::string config = ConfigFolder();
    if (!config.empty() && std::ifstream(config + "/vantrel/midi.map")) path = config + "/vantrel/midi.map";
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
