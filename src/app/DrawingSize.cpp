// Reading and checking --size.
#include "app/DrawingSize.h"

#include <cerrno>
#include <cstdlib>

#include "platform/ShowFrame.h"

namespace {
// A whole number of 1 to 5 digits from text[at], moved past.
bool ReadSide(const std::string& text, size_t& at, int& side) {
  const size_t start = at;
  long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6)
    value = value * 10 + (text[at++] - '0');
  if (at == start || at - start > 5) return false;
  side = static_cast<int>(value);
  return true;
}
}  // namespace

bool ParseDrawingSize(const std::string& text, int& width, int& height, std::string& error,
                      const std::string& option) {
  size_t at = 0;
  int w = 0, h = 0;
  const bool shaped = ReadSide(text, at, w) && at < text.size() && (text[at] == 'x' || text[at] == 'X') &&
                      ReadSide(text, ++at, h) && at == text.size();
  if (!shaped || w <= 0 || h <= 0) {
    error = option + " needs a width and a height in pixels, such as 1920x1080 (not \"" + text + "\")";
    return false;
  }
  const PictureRect picture = FitPicture(DesignWidth, DesignHeight, w, h);
  if (picture.width < SmallestPictureWidth || picture.height < SmallestPictureHeight ||
      picture.width > LargestPictureWidth || picture.height > LargestPictureHeight) {
    error = option + " " + text + " would draw a " + std::to_string(picture.width) + "x" +
            std::to_string(picture.height) + " picture; it must lie between 480x360 and 4096x3072";
    return false;
  }
  width = w;
  height = h;
  return true;
}

bool VideoSizeAllowed(int width, int height, std::string& error) {
  if (width % 2 == 0 && height % 2 == 0) return true;
  error = "--size " + std::to_string(width) + "x" + std::to_string(height) +
          ": a video needs an even width and height (H.264)";
  return false;
}

FrameSizing ScreenFrameSizing(const ProgramOptions& options, bool softwareRendering) {
  FrameSizing sizing;
  sizing.least = {0, 0, SmallestPictureWidth, SmallestPictureHeight};
  sizing.largest = {0, 0, LargestPictureWidth, LargestPictureHeight};
  if (options.fullFrame) {
    sizing.pinned = {0, 0, DesignWidth, DesignHeight};
  } else if (options.renderWidth > 0) {
    sizing.pinned = FitPicture(DesignWidth, DesignHeight, options.renderWidth, options.renderHeight);
    sizing.pinned.x = sizing.pinned.y = 0;
  } else if (!options.renderNative && softwareRendering && (options.gentle || options.live)) {
    // Both draw every frame whole, with no dynamic resolution to catch a late one: gentle mode
    // because its flash guard reads the whole frame back and judges it, the live mode because its
    // layers are drawn as packets arrive. On a processor a full-screen picture (1440 x 1080 is
    // 3.2 times the design size's pixels, and the guard's readback grows with it) would run every
    // frame late, so they keep to at most the design size there; a graphics card draws the
    // screen's size.
    sizing.largest = {0, 0, DesignWidth, DesignHeight};
  }
  return sizing;
}

bool PlayerDrawsDynamically(const ProgramOptions& options) {
  return !options.fullFrame && !options.gentle && options.renderWidth == 0 && !options.renderNative;
}
