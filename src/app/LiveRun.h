// The live mode's run: the stream server wired to the live frame, the listeners and the keys.
#pragma once
#include "app/Options.h"

// Runs the live mode (server address, ports from options) until the tool window or the GL window
// is closed, then prints its counts.
void RunLiveMode(const ProgramOptions& options);
