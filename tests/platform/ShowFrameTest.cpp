// The show's fixed frame: where its picture lands in any drawable, and a real frame object
// presented into the window's framebuffer on the offscreen Mesa context.
#include <gtest/gtest.h>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "support/TestSupport.h"

namespace {
void ExpectRect(const PictureRect& r, int x, int y, int width, int height) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
}

bool Near(const Pixel& p, int r, int g, int b) {
  return std::abs(p.r - r) <= 2 && std::abs(p.g - g) <= 2 && std::abs(p.b - b) <= 2;
}
}  // namespace

TEST(FitPicture, LargestFourToThreeRectangleCentred) {
  ExpectRect(FitPicture(800, 600, 1920, 1080), 240, 0, 1440, 1080);  // bars left and right
  ExpectRect(FitPicture(800, 600, 1000, 500), 166, 0, 667, 500);     // 666.7 rounds up
  ExpectRect(FitPicture(800, 600, 800, 600), 0, 0, 800, 600);        // exactly the frame
  ExpectRect(FitPicture(800, 600, 1280, 1024), 0, 32, 1280, 960);    // bars above and below
  ExpectRect(FitPicture(800, 600, 3840, 2160), 480, 0, 2880, 2160);  // a HiDPI drawable
  ExpectRect(FitPicture(800, 600, 0, 600), 0, 0, 0, 0);              // minimised: nothing
}

// The lower-left width x height of the frame: left half red, right half green; the rest blue.
void DrawHalves(int width, int height) {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, width / 2, height);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(width / 2, 0, width - width / 2, height);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

class ShowFrameObject : public testing::Test {
 protected:
  void SetUp() override {
    EnsureGLContext();
    ASSERT_TRUE(CreateShowFrame(800, 600)) << "Mesa's compatibility context offers frame objects";
  }
  void TearDown() override {
    SetShowFrameBlit(true);
    // A fresh frame, cleared and bound, as the window opened it for the other tests.
    ASSERT_TRUE(CreateShowFrame(800, 600));
    glViewport(0, 0, 800, 600);
  }

  // The frame: left half red, right half green, then presented as if the drawable were
  // 800 x 300, so the picture is 400 x 300 at x 200 with black bars beside it.
  void DrawHalvesAndPresent() {
    DrawHalves(800, 600);
    glEnable(GL_SCISSOR_TEST);
    // State the present must leave alone.
    glViewport(0, 0, 128, 128);
    glClearColor(0.2f, 0.2f, 0.4f, 0.0f);
    glEnable(GL_BLEND);
    PresentShowFrame(800, 300);
  }
};

TEST_F(ShowFrameObject, DrawingAndReadingAddressTheFrame) {
  glClearColor(0.25f, 0.5f, 0.75f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_TRUE(Near(ReadPixel(400, 300), 64, 128, 191));
  // No destination alpha: reads and copies see an opaque frame.
  EXPECT_EQ(ReadPixel(10, 10).a, 255);
  GLint depth = 0, stencil = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  glGetIntegerv(GL_STENCIL_BITS, &stencil);
  EXPECT_GE(depth, 24);
  EXPECT_GE(stencil, 1);
}

TEST_F(ShowFrameObject, PresentScalesIntoTheLargestRectangleWithBlackBars) {
  for (bool blit : {true, false}) {
    SCOPED_TRACE(blit ? "framebuffer blit" : "textured quad");
    SetShowFrameBlit(blit);
    DrawHalvesAndPresent();
    // The frame is bound again and the caller's state is as it was.
    EXPECT_TRUE(Near(ReadPixel(100, 100), 255, 0, 0));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 128);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[2], 0.4f);

    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    BindWindowFramebuffer(true);
    EXPECT_TRUE(Near(ReadPixel(100, 150), 0, 0, 0)) << "left bar";
    EXPECT_TRUE(Near(ReadPixel(250, 150), 255, 0, 0)) << "left half of the picture";
    EXPECT_TRUE(Near(ReadPixel(550, 150), 0, 255, 0)) << "right half of the picture";
    EXPECT_TRUE(Near(ReadPixel(700, 150), 0, 0, 0)) << "right bar";
    EXPECT_TRUE(Near(ReadPixel(200, 0), 255, 0, 0)) << "first column of the picture";
    EXPECT_TRUE(Near(ReadPixel(199, 0), 0, 0, 0)) << "last column of the bar";
    BindWindowFramebuffer(false);
  }
}

// The player's dynamic resolution: a frame drawn at 60 % a side fills the same picture rectangle,
// scaled up, as the whole frame would; nothing of the undrawn rest of the frame shows.
TEST_F(ShowFrameObject, AFrameDrawnSmallerFillsTheWholePicture) {
  SetDrawingScale(0.6f);
  for (bool blit : {true, false}) {
    SCOPED_TRACE(blit ? "framebuffer blit" : "textured quad");
    SetShowFrameBlit(blit);
    DrawHalves(480, 360);  // the blue rest of the frame must not be seen
    PresentShowFrame(800, 300);
    BindWindowFramebuffer(true);
    EXPECT_TRUE(Near(ReadPixel(100, 150), 0, 0, 0)) << "left bar";
    EXPECT_TRUE(Near(ReadPixel(201, 1), 255, 0, 0)) << "lower-left corner of the picture";
    EXPECT_TRUE(Near(ReadPixel(250, 150), 255, 0, 0)) << "left half of the picture";
    EXPECT_TRUE(Near(ReadPixel(550, 150), 0, 255, 0)) << "right half of the picture";
    EXPECT_TRUE(Near(ReadPixel(598, 298), 0, 255, 0)) << "upper-right corner of the picture";
    EXPECT_TRUE(Near(ReadPixel(700, 150), 0, 0, 0)) << "right bar";
    BindWindowFramebuffer(false);
  }
  SetDrawingScale(1.0f);
}
