// The two interactive run loops: the timed show, and the live mode with its stream server.
#pragma once
#include "app/Options.h"

// Plays the show from its timer until Escape, a window close or the first frame past its length.
void RunTimedShow();
// Runs the live mode (server address, ports from options) until the tool window or the GL window
// is closed, then prints its counts.
void RunLiveMode(const ProgramOptions& options);
