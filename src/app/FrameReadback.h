// Reading the drawn show frame back from GL as the RGBA picture that videos and PNG files hold.
#pragma once
#include <cstdint>
#include <vector>

// The frame buffer's frame-sized RGBA rows as GL gives them, bottom row first, waiting for the
// drawing to finish; bottomUp holds ShowFrameWidth * ShowFrameHeight * 4 bytes.
void ReadFrameBottomUp(uint8_t* bottomUp);
// The picture upright (top row first) and opaque, as video and PNG files want it; topDown is
// resized to the frame's bytes.
void UprightOpaque(const uint8_t* bottomUp, std::vector<uint8_t>& topDown);
