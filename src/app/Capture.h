// The show rendered offscreen at a fixed step into a video (--capture) or PNG files (--frames).
#pragma once
#include <string>

#include "app/Options.h"

// The frames of [options.from, options.to] into options.output through ffmpeg; the exit code.
int RunCapture(const ProgramOptions& options, const std::string& musicPath);
// The frames of [options.from, options.to] as PNG files in the folder options.output; the exit code.
int RunFrames(const ProgramOptions& options);
