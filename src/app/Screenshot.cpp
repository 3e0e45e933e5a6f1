// Screenshots: the picture read back at the size it was drawn, a PNG file.
#include "app/Screenshot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/FrameReadback.h"
#include "app/PngWriter.h"
#include "platform/ShowFrame.h"
#include "platform/UserFolders.h"

namespace {
std::string StartDirectory;

}  // namespace

void RememberStartDirectory() {
  std::error_code error;
  StartDirectory = std::filesystem::current_path(error).string();
}

std::string ScreenshotFolder() {
  const std::string pictures = PicturesFolder();
  std::error_code error;
  if (!pictures.empty() && std::filesystem::is_directory(pictures, error)) return pictures;
  return StartDirectory.empty() ? "." : StartDirectory;
}

std::string ScreenshotName(float showTime) {
  char name[64];
  std::snprintf(name, sizeof name, "vantrel-%.3f.png", std::isfinite(showTime) ? showTime : 0.0f);
  return name;
}

bool SaveScreenshot(float showTime) {
  const std::string path = ScreenshotFolder() + "/" + ScreenshotName(showTime);
  // The picture as drawn, at the size it was drawn (the player's dynamic resolution may have drawn
  // it smaller than the frame): what the frame holds, not the window's scaled copy.
  const int width = DrawingWidth(), height = DrawingHeight();
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 4), pixels;
  ReadDrawingBottomUp(bottomUp.data());
  UprightOpaque(bottomUp.data(), width, height, pixels);
  std::string error;
  if (!WritePng(path, pixels, width, height, error)) {
    std::fprintf(stderr, "vantrel: the screenshot could not be written to %s (%s)\n", path.c_str(), error.c_str());
    return false;
  }
  std::fprintf(stderr, "vantrel: screenshot of %.3f s (%d x %d) saved as %s\n", showTime, width, height,
               path.c_str());
  return true;
}
