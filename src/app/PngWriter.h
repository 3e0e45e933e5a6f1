// Writing one show frame as a PNG file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes the frame-sized RGBA picture (top row first) to path; false when the file cannot be
// written completely.
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgbaTopDown);
