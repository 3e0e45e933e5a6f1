// Gentle mode's frame flash guard on the real GL frame: a strobe drawn into the frame buffer is
// held to three flashes a second in place, and without gentle mode nothing is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "show/FrameGuard.h"
#include "support/TestSupport.h"
#include "timeline/FlashGuard.h"
#include "timeline/GentleFlashes.h"
#include "timeline/ShowClock.h"

namespace {
// The guard at the default size and at a 1600 x 1200 frame.
class FrameGuardTest : public testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() { EnsureGLContext(); }
  void SetUp() override {
    CreateShowFrame(GetParam() * 4 / 3, GetParam());
    ResetFrameGuard();
  }
  void TearDown() override {
    GentleMode = false;
    ShowTime = 0;
    ResetFrameGuard();
    CreateShowFrame(800, 600);
  }

  // Draws frame i of a full-screen black and white strobe at 6 Hz, 30 frames a second, guards it
  // and returns what the frame buffer then holds.
  static std::vector<uint8_t> StrobeFrame(int i) {
    ShowTime = static_cast<float>(i / 30.0);
    const float level = i % 5 < 3 ? 1.0f : 0.0f;
    glClearColor(level, level, level, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GuardShowFrame();
    return ReadFramePixels(ShowFrameWidth(), ShowFrameHeight());
  }
};
}  // namespace

TEST_P(FrameGuardTest, StrobeIsHeldToThreeFlashesASecondInTheFrameBuffer) {
  const int width = ShowFrameWidth(), height = ShowFrameHeight();
  glViewport(0, 0, width, height);
  GentleMode = true;
  glEnable(GL_BLEND);
  glMatrixMode(GL_MODELVIEW);
  FrameChanges counter(0.1f, 0.8f, FlashGuardCells / 4, 0.2);
  std::vector<int> changes;
  int blends = 0;
  for (int i = 0; i < 90; ++i) {
    const std::vector<uint8_t> frame = StrobeFrame(i);
    if (counter.Update(i / 30.0, MeasureFrame(frame.data(), width, height).luminance) != 0) changes.push_back(i);
    // A softened frame is the last one shown blended with the new one, the same all over.
    const uint8_t grey = frame[0];
    blends += grey != 0 && grey != 255;
    EXPECT_EQ(frame[(static_cast<size_t>(height / 2) * width + width / 2) * 4 + 1], grey) << "frame " << i;
  }
  EXPECT_GT(blends, 0);
  for (size_t i = 0; i + 7 < changes.size(); ++i)
    EXPECT_GE(changes[i + 7] - changes[i], 30) << "four flashes within a second from frame " << changes[i];
  EXPECT_GE(changes.size(), 15u) << "about three flashes a second are still shown";
  EXPECT_GT(GuardedFrameCount(), 0);
  // Every GL state as it was.
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], width);
  EXPECT_EQ(viewport[3], height);
  glDisable(GL_BLEND);
}

TEST_P(FrameGuardTest, WithoutGentleModeTheFrameIsUntouched) {
  const long before = GuardedFrameCount();
  for (int i = 0; i < 30; ++i) {
    const std::vector<uint8_t> frame = StrobeFrame(i);
    EXPECT_EQ(frame[0], i % 5 < 3 ? 255 : 0) << "frame " << i;
  }
  EXPECT_EQ(GuardedFrameCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameGuardTest, testing::Values(600, 1200),
                         [](const testing::TestParamInfo<int>& size) { return "Height" + std::to_string(size.param); });
