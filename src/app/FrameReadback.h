// Reading the drawn show frame back from GL as the RGBA picture that videos and PNG files hold.
#pragma once
#include <cstdint>
#include <vector>

// The frame buffer as opaque RGBA rows, top row first (the order video and PNG files want);
// pixels is resized to the frame's bytes.
void ReadFrameTopDown(std::vector<uint8_t>& pixels);
