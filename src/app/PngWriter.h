// Writing one show frame as a PNG file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes the width x height RGBA picture (top row first) to path; false when the file cannot be
// written completely, with the system's reason in error.
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgbaTopDown, int width, int height,
              std::string& error);
// Where an output file is written until it is whole: beside it (the same file system, so that the
// rename that completes it cannot fail half-way), its extension kept for ffmpeg's choice of
// format: "show.mp4" is written as "show.partial.mp4". Nothing under the name asked for ever
// looks like a finished file when it is not one.
std::string UnfinishedPath(const std::string& path);
