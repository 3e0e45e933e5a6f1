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

bool ParseDrawingSize(const std::string& text, int& width, int& height, std::string& error) {
  size_t at = 0;
  int w = 0, h = 0;
  const bool shaped = ReadSide(text, at, w) && at < text.size() && (text[at] == 'x' || text[at] == 'X') &&
                      ReadSide(text, ++at, h) && at == text.size();
  if (!shaped || w <= 0 || h <= 0) {
    error = "--size needs a width and a height in pixels, such as 1920x1080 (not \"" + text + "\")";
    return false;
  }
  const PictureRect picture = FitPicture(DesignWidth, DesignHeight, w, h);
  if (picture.width < SmallestPictureWidth || picture.height < SmallestPictureHeight ||
      picture.width > LargestPictureWidth || picture.height > LargestPictureHeight) {
    error = "--size " + text + " would draw a " + std::to_string(picture.width) + "x" +
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
