// Screenshots hold the picture as drawn at the frame's own size: a 1600 x 1200 frame gives a
// 1600 x 1200 file, upright, every pixel the frame's.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/Screenshot.h"
#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "support/TestSupport.h"

namespace {
// Blue over the whole drawing, a red band over its top 10 rows and a green column at its right.
void DrawMarkedPicture(int width, int height) {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, height - 10, width, 10);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(width - 1, 0, 1, height - 10);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Picture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture picture;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return {};
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  return picture;
}
}  // namespace

TEST(Screenshot, AFrameOf1600By1200IsSavedWholeAndUpright) {
  EnsureGLContext();
  TempDir folder;
  // The pictures folder named by the desktop's user folders file.
  const char* previous = std::getenv("XDG_CONFIG_HOME");
  const std::string previousConfig = previous ? previous : "";
  setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
  std::ofstream(folder.File("user-dirs.dirs")) << "XDG_PICTURES_DIR=\"" << folder.path << "\"\n";

  ASSERT_TRUE(CreateShowFrame(1600, 1200));
  SetDrawingViewport();
  ASSERT_EQ(DrawingWidth(), 1600);
  DrawMarkedPicture(1600, 1200);
  const bool saved = SaveScreenshot(12.5f);
  // A dynamic resolution's smaller drawing is saved at the size drawn.
  SetDrawingScale(1.0f);
  DrawMarkedPicture(800, 600);
  const bool savedSmaller = SaveScreenshot(13.5f);
  CreateShowFrame(DesignWidth, DesignHeight);
  SetDrawingViewport();
  if (previous)
    setenv("XDG_CONFIG_HOME", previousConfig.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");

  ASSERT_TRUE(saved);
  const Picture picture = ReadPng(folder.File("vantrel-12.500.png"));
  ASSERT_EQ(picture.width, 1600);
  ASSERT_EQ(picture.height, 1200);
  const auto expect = [&picture](int x, int y, int r, int g, int b) {
    const uint8_t* pixel = picture.At(x, y);
    EXPECT_EQ(pixel[0], r) << x << ", " << y;
    EXPECT_EQ(pixel[1], g) << x << ", " << y;
    EXPECT_EQ(pixel[2], b) << x << ", " << y;
  };
  expect(0, 0, 255, 0, 0);        // the band at the top
  expect(1599, 9, 255, 0, 0);
  expect(0, 10, 0, 0, 255);
  expect(1599, 10, 0, 255, 0);    // the column at the right edge, to the last pixel
  expect(1598, 1199, 0, 0, 255);
  expect(1599, 1199, 0, 255, 0);

  ASSERT_TRUE(savedSmaller);
  const Picture smaller = ReadPng(folder.File("vantrel-13.500.png"));
  EXPECT_EQ(smaller.width, 800);
  EXPECT_EQ(smaller.height, 600);
}
