// The two interactive run loops: the timed show, and the live mode with its stream server.
#pragma once
#include "app/Options.h"
#include "live/ControlMap.h"

// Plays the show from its timer until Escape, q, a window close or the first frame past its
// length; from start seconds (every carried state advanced to it first, the music from there),
// and with loop again from 0 s after each end. Starts the music itself (load without it). With
// dynamicResolution, frames that run late are drawn smaller (see DynamicResolution). With
// paused, the first frame at or after start is shown held until the viewer resumes. The
// viewer's keys (Controls.h) pause, jump, step, save screenshots and so on.
void RunTimedShow(float start = 0.0f, bool loop = false, bool dynamicResolution = false, bool paused = false);
// Runs the live mode (server address, ports from options) until the tool window or the GL window
// is closed, then prints its counts.
void RunLiveMode(const ProgramOptions& options);
// Prints the MIDI input ports of the system options.midiApi names (or any); false when it
// cannot start.
bool ListMidiInputs(const ProgramOptions& options);
// The map the live mode listens with: --midi-map FILE, else $XDG_CONFIG_HOME/vantrel/midi.map
// when there is one, else the built-in map. A malformed line is said with its number and the
// rules before it are kept.
ControlMap LoadControlMap(const ProgramOptions& options);
