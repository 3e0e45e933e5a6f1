// Reading the drawn show frame back from GL as the RGBA picture that videos and PNG files hold,
// at the size the offscreen modes write (the frame, or a larger size with black bars).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/ShowFrame.h"

// The size of the pictures the offscreen modes write: the largest 4:3 picture that fits is drawn
// (the frame is made at its size), centred, black bars around it. 800 x 600 until set.
void SetOutputSize(int width, int height);
int OutputWidth();
int OutputHeight();
// Where the picture lies in the output, origin at the lower left as GL counts.
PictureRect OutputPicture();

// The frame's RGBA rows (ShowFrameWidth() x ShowFrameHeight()) as GL gives them, bottom row
// first, waiting for the drawing to finish.
void ReadFrameBottomUp(uint8_t* bottomUp);
// The drawn part of the frame (DrawingWidth() x DrawingHeight()), the same way.
void ReadDrawingBottomUp(uint8_t* bottomUp);
// A width x height picture upright (top row first) and opaque, as video and PNG files want it;
// topDown is resized to its bytes.
void UprightOpaque(const uint8_t* bottomUp, int width, int height, std::vector<uint8_t>& topDown);
// The frame's picture upright and opaque in the output's size, black around it.
void UprightInOutput(const uint8_t* bottomUp, std::vector<uint8_t>& topDown);
