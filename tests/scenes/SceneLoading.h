// Helpers for the scene frame tests: run a loader in a data directory, measure frame brightness.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/ShowFrame.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

// Runs loader with directory as the data folder, as the program's loader does; when the
// directory is missing the loader reports each missing file.
inline void LoadSceneIn(const std::filesystem::path& directory, void (*loader)()) {
  DataFolderScope folder(directory.string());
  loader();
}

// Mean of r + g + b over the frame-buffer rectangle [x0, x1) x [y0, y1).
inline double MeanBrightness(int x0, int y0, int x1, int y1) {
  const std::vector<uint8_t> pixels = ReadFramePixels();
  double sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * 800 + x) * 4];
      sum += p[0] + p[1] + p[2];
    }
  return sum / ((x1 - x0) * (y1 - y0));
}

// How far a frame drawn at twice the design size lies from the same frame at 800 x 600, both
// area-averaged to 200 x 150 grey levels (0 to 255): the mean and the largest block difference.
struct SizeDifference {
  double mean = 0, worst = 0;
};
// Draws with draw() into the 800 x 600 frame and into a 1600 x 1200 frame (scale 2), each after
// reset(), and measures the two pictures apart; puts the 800 x 600 frame back.
template <typename Reset, typename Draw>
SizeDifference DifferenceAtTwiceTheSize(Reset reset, Draw draw) {
  const auto averaged = [&](int width, int height) {
    reset();
    draw();
    const std::vector<uint8_t> pixels = ReadFramePixels(width, height);
    const int block = width / 200;
    std::vector<double> grey(200 * 150, 0.0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        grey[static_cast<size_t>(y / block) * 200 + x / block] += (p[0] + p[1] + p[2]) / 3.0;
      }
    for (double& level : grey) level /= block * block;
    return grey;
  };
  const std::vector<double> design = averaged(800, 600);
  EXPECT_TRUE(CreateShowFrame(1600, 1200));
  SetDrawingViewport();
  const std::vector<double> twice = averaged(1600, 1200);
  EXPECT_TRUE(CreateShowFrame(800, 600));
  SetDrawingViewport();
  SizeDifference difference;
  for (size_t i = 0; i < design.size(); ++i) {
    const double d = std::fabs(design[i] - twice[i]);
    difference.mean += d / static_cast<double>(design.size());
    difference.worst = std::max(difference.worst, d);
  }
  return difference;
}

// A suite of frame tests of one scene: the GL context open and the scene loaded from the
// generated data set once; the frame-time globals back to 0 after each test.
template <void (*Loader)()>
class SceneFrameTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnsureGLContext();
    MessageLog quiet;
    LoadSceneIn(GeneratedDataPath(""), Loader);
  }
  void TearDown() override { ShowTime = FrameDelta = 0; }
};
