// Captured frames reach the writer in the order drawn, upright and opaque, however far the
// read-back runs behind the drawing; a writer that fails stops the capture.
#include <gtest/gtest.h>

#include "app/FramePipeline.h"
#include "app/FrameReadback.h"
#include "platform/ShowFrame.h"
#include "platform/GL.h"
#include "support/TestSupport.h"

namespace {
// A frame of one grey level with a red band over its top ten rows, alpha left at zero.
void DrawNumberedFrame(int number) {
  glDisable(GL_SCISSOR_TEST);
  const float grey = static_cast<float>(10 + 20 * number) / 255.0f;
  glClearColor(grey, grey, grey, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 590, 800, 10);
  glClearColor(1, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
}

struct Written {
  long frame;
  int topRed, bottomGrey, alpha;
};
}  // namespace

TEST(FramePipeline, WritesEveryFrameInOrderUprightAndOpaque) {
  EnsureGLContext();
  std::vector<Written> written;
  FramePipeline pipeline([&](const FrameTag& tag, const std::vector<uint8_t>& pixels) {
    const size_t bottomLeft = (599 * 800) * 4;
    written.push_back({tag.frame, pixels[0], pixels[bottomLeft + 1], pixels[bottomLeft + 3]});
    return true;
  });
  for (int frame = 0; frame < 7; ++frame) {
    DrawNumberedFrame(frame);
    ASSERT_TRUE(pipeline.Add({frame, frame / 30.0f}));
  }
  ASSERT_TRUE(pipeline.Finish());
  ASSERT_EQ(written.size(), 7u);
  for (int frame = 0; frame < 7; ++frame) {
    EXPECT_EQ(written[frame].frame, frame);
    EXPECT_EQ(written[frame].topRed, 255) << "frame " << frame << " is upside down";
    EXPECT_NEAR(written[frame].bottomGrey, 10 + 20 * frame, 1) << "frame " << frame;
    EXPECT_EQ(written[frame].alpha, 255);
  }
  // Reads that do not go through the pipeline still land in client memory.
  DrawNumberedFrame(3);
  EXPECT_NEAR(ReadPixel(0, 0).g, 70, 1);
}

TEST(FramePipeline, AFailedWriteStopsTheCaptureAndIsReported) {
  EnsureGLContext();
  std::vector<long> attempted;
  FramePipeline pipeline([&](const FrameTag& tag, const std::vector<uint8_t>&) {
    attempted.push_back(tag.frame);
    return tag.frame < 2;
  });
  bool refused = false;
  for (int frame = 0; frame < 40 && !refused; ++frame) {
    DrawNumberedFrame(frame % 10);
    refused = !pipeline.Add({frame, 0});
  }
  EXPECT_FALSE(pipeline.Finish());
  EXPECT_EQ(attempted, (std::vector<long>{0, 1, 2})) << "nothing is written after the failure";
}

// A 1920 x 1080 capture: the 1440 x 1080 picture in the middle, upright, black bars either side.
TEST(FramePipeline, ALargerOutputHoldsThePictureWholeBetweenBlackBars) {
  EnsureGLContext();
  SetOutputSize(1920, 1080);
  const PictureRect picture = OutputPicture();
  ASSERT_TRUE(CreateShowFrame(picture.width, picture.height));
  glViewport(0, 0, ShowFrameWidth(), ShowFrameHeight());
  glClearColor(0.5f, 0.5f, 0.5f, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, ShowFrameHeight() - 1, ShowFrameWidth(), 1);  // the picture's top row red
  glClearColor(1, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  std::vector<uint8_t> written;
  {
    FramePipeline pipeline([&](const FrameTag&, const std::vector<uint8_t>& pixels) {
      written = pixels;
      return true;
    });
    ASSERT_TRUE(pipeline.Add({0, 0}));
    ASSERT_TRUE(pipeline.Finish());
  }
  SetOutputSize(800, 600);
  CreateShowFrame(800, 600);
  ASSERT_EQ(written.size(), 1920u * 1080 * 4);
  const auto at = [&](int x, int y, int channel) { return written[(static_cast<size_t>(y) * 1920 + x) * 4 + channel]; };
  EXPECT_EQ(picture.x, 240);
  EXPECT_EQ(at(239, 540, 0), 0) << "the left bar";
  EXPECT_EQ(at(1680, 540, 1), 0) << "the right bar";
  EXPECT_EQ(at(240, 0, 0), 255) << "the picture's top row at the top";
  EXPECT_NEAR(at(1679, 1079, 1), 128, 1) << "the picture reaches the bottom right";
  EXPECT_EQ(at(960, 540, 3), 255) << "opaque";
}
