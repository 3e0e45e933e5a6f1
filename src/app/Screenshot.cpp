// Screenshots: the frame read back, a smaller drawing scaled up to the whole frame, a PNG file.
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

// A frame drawn smaller (the player's dynamic resolution) fills only the lower-left
// DrawingWidth() x DrawingHeight() pixels: scaled up to the whole frame, bilinearly, as the
// window shows it. On the CPU rather than with GL's linear filter, which on Mesa weighs in fixed
// point (a level or two off in about one byte in ten) and at the drawn part's top and right edges
// blends in the undrawn rest of the frame: a screenshot is the same bytes on every driver.
void ScaleUpDrawing(std::vector<uint8_t>& bottomUp) {
  const int width = std::max(1, DrawingWidth()), height = std::max(1, DrawingHeight());
  const std::vector<uint8_t> drawn = bottomUp;
  const auto at = [&](int x, int y, int c) {
    return static_cast<float>(drawn[(static_cast<size_t>(y) * ShowFrameWidth + x) * 4 + c]);
  };
  for (int y = 0; y < ShowFrameHeight; ++y) {
    const float sy = std::clamp((y + 0.5f) * height / ShowFrameHeight - 0.5f, 0.0f, height - 1.0f);
    const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, height - 1);
    const float fy = sy - y0;
    for (int x = 0; x < ShowFrameWidth; ++x) {
      const float sx = std::clamp((x + 0.5f) * width / ShowFrameWidth - 0.5f, 0.0f, width - 1.0f);
      const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, width - 1);
      const float fx = sx - x0;
      for (int c = 0; c < 4; ++c) {
        const float top = at(x0, y1, c) + (at(x1, y1, c) - at(x0, y1, c)) * fx;
        const float bottom = at(x0, y0, c) + (at(x1, y0, c) - at(x0, y0, c)) * fx;
        bottomUp[(static_cast<size_t>(y) * ShowFrameWidth + x) * 4 + c] =
            static_cast<uint8_t>(std::lround(bottom + (top - bottom) * fy));
      }
    }
  }
}
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
  std::vector<uint8_t> bottomUp(static_cast<size_t>(ShowFrameWidth) * ShowFrameHeight * 4), pixels;
  ReadFrameBottomUp(bottomUp.data());
  if (DrawingWidth() < ShowFrameWidth || DrawingHeight() < ShowFrameHeight) ScaleUpDrawing(bottomUp);
  UprightOpaque(bottomUp.data(), pixels);
  std::string error;
  if (!WritePng(path, pixels, error)) {
    std::fprintf(stderr, "vantrel: the screenshot could not be written to %s (%s)\n", path.c_str(), error.c_str());
    return false;
  }
  std::fprintf(stderr, "vantrel: screenshot of %.3f s saved as %s\n", showTime, path.c_str());
  return true;
}
