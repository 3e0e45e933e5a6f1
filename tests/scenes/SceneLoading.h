// Helpers for the scene frame tests: run a loader in a data directory, measure frame brightness.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

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
