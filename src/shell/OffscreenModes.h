// Our additions: capture to video, frames to PNG files, and the timedemo, all offscreen.
#pragma once
#include "shell/Entry.h"

// Loads the assets and renders the show for options.mode; returns the exit code.
int RunOffscreenMode(const ProgramOptions& options);
