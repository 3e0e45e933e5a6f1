// Gentle mode's frame flash guard on the real GL frame: a strobe drawn into the frame buffer is
// held to three flashes a second in place, and without gentle mode nothing is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/GL.h"
#include "show/FrameGuard.h"
#include "support/TestSupport.h"
#include "timeline/FlashGuard.h"
#include "timeline/GentleFlashes.h"
#include "timeline/ShowClock.h"

namespace {
class FrameGuardTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureGLContext(); }
  void SetUp() override { ResetFrameGuard(); }
  void TearDown() override {
    GentleMode = false;
    ShowTime = 0;
    ResetFrameGuard();
  }

  // Draws frame i of a full-screen black and white strobe at 6 Hz, 30 frames a second, guards it
  // and returns what the frame buffer then holds.
  static std::vector<uint8_t> StrobeFrame(int i) {
    ShowTime = static_cast<float>(i / 30.0);
    const float level = i % 5 < 3 ? 1.0f : 0.0f;
    glClearColor(level, level, level, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GuardShowFrame();
    return ReadFramePixels();
  }
};
}  // namespace

TEST_F(FrameGuardTest, StrobeIsHeldToThreeFlashesASecondInTheFrameBuffer) {
  GentleMode = true;
  glEnable(GL_BLEND);
  glMatrixMode(GL_MODELVIEW);
  FrameChanges counter(0.1f, 0.8f, FlashGuardCells / 4, 0.2);
  std::vector<int> changes;
  int blends = 0;
  for (int i = 0; i < 90; ++i) {
    const std::vector<uint8_t> frame = StrobeFrame(i);
    if (counter.Update(i / 30.0, MeasureFrame(frame.data(), 800, 600).luminance) != 0) changes.push_back(i);
    // A softened frame is the last one shown blended with the new one, the same all over.
    const uint8_t grey = frame[0];
    blends += grey != 0 && grey != 255;
    EXPECT_EQ(frame[(300 * 800 + 400) * 4 + 1], grey) << "frame " << i;
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
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  glDisable(GL_BLEND);
}

TEST_F(FrameGuardTest, WithoutGentleModeTheFrameIsUntouched) {
  const long before = GuardedFrameCount();
  for (int i = 0; i < 30; ++i) {
    const std::vector<uint8_t> frame = StrobeFrame(i);
    EXPECT_EQ(frame[0], i % 5 < 3 ? 255 : 0) << "frame " << i;
  }
  EXPECT_EQ(GuardedFrameCount(), before);
}
