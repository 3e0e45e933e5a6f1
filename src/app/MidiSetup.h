// What the live mode listens to MIDI with: the ports there are, and the map of controls to slots.
#pragma once
#include "app/Options.h"
#include "live/ControlMap.h"

// Prints the MIDI input ports of the system options.midiApi names (or any); false when it
// cannot start.
bool ListMidiInputs(const ProgramOptions& options);
// The map the live mode listens with: --midi-map FILE, else $XDG_CONFIG_HOME/vantrel/midi.map
// when there is one, else the built-in map. A malformed line is said with its number and the
// rules before it are kept.
ControlMap LoadControlMap(const ProgramOptions& options);
