// Our additions: capture to video, frames to PNG files, and the timedemo, all offscreen.
#pragma once
#include "app/Options.h"

// Loads the assets and renders the show for options.mode; returns the exit code.
int RunOffscreenMode(const ProgramOptions& options);
// Whether ffmpeg is on PATH and the capture file can be written; says why not on stderr.
// Checked before anything is opened, so a capture that cannot succeed fails at once.
bool CaptureCanStart(const ProgramOptions& options);
