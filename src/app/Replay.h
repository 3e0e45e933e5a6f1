// A recorded live set rendered offscreen into a video (-pds --replay SET --capture FILE).
#pragma once
#include <string>

#include "app/Options.h"

// Renders options.replay into options.output through ffmpeg; the exit code.
int RunReplayCapture(const ProgramOptions& options, const std::string& musicPath);
