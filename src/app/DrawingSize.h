// The size the offscreen modes draw and write at (--size WxH), and what it allows.
#pragma once
#include <string>

// The smallest and largest 4:3 picture the show draws.
inline constexpr int SmallestPictureWidth = 480, SmallestPictureHeight = 360;
inline constexpr int LargestPictureWidth = 4096, LargestPictureHeight = 3072;

// Reads "WxH" (also "W×H" written with an X): false with the reason in error when it is not two
// whole numbers or when the 4:3 picture that fits in it lies outside 480 x 360 .. 4096 x 3072.
bool ParseDrawingSize(const std::string& text, int& width, int& height, std::string& error);
// A video's sides must be even (H.264 in 4:2:0): false with the reason in error otherwise.
bool VideoSizeAllowed(int width, int height, std::string& error);
