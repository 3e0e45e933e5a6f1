// The size the offscreen modes draw and write at (--size WxH), what it allows, and the size the
// player and the live mode draw at on a screen (--render-size).
#pragma once
#include <string>

#include "app/Options.h"
#include "platform/Window.h"

// The smallest and largest 4:3 picture the show draws.
inline constexpr int SmallestPictureWidth = 480, SmallestPictureHeight = 360;
inline constexpr int LargestPictureWidth = 4096, LargestPictureHeight = 3072;

// Reads "WxH" (also "W×H" written with an X): false with the reason in error when it is not two
// whole numbers or when the 4:3 picture that fits in it lies outside 480 x 360 .. 4096 x 3072.
// option names the switch in the reason.
bool ParseDrawingSize(const std::string& text, int& width, int& height, std::string& error,
                      const std::string& option = "--size");
// How the frame is sized on a screen: --full-frame pins 800 x 600, --render-size WxH its picture;
// otherwise the frame follows the window's picture size (480 x 360 .. 4096 x 3072), held to at
// most 800 x 600 in gentle mode and in the live mode when drawing on the processor, unless
// --render-size native asks for the screen's size.
FrameSizing ScreenFrameSizing(const ProgramOptions& options, bool softwareRendering);
// Whether the player lowers the drawing scale when frames run late: not with --full-frame, not
// with a --render-size, not in gentle mode (its flash guard judges the whole frame).
bool PlayerDrawsDynamically(const ProgramOptions& options);
// A video's sides must be even (H.264 in 4:2:0): false with the reason in error otherwise.
bool VideoSizeAllowed(int width, int height, std::string& error);
