// Reading the drawn show frame back from GL, turned upright, made opaque and set in the output.
#include "app/FrameReadback.h"

#include <algorithm>

#include "platform/GL.h"

namespace {
int Width = DesignWidth;
int Height = DesignHeight;
}  // namespace

void SetOutputSize(int width, int height) {
  Width = width;
  Height = height;
}

int OutputWidth() { return Width; }
int OutputHeight() { return Height; }
PictureRect OutputPicture() { return FitPicture(DesignWidth, DesignHeight, Width, Height); }

void ReadFrameBottomUp(uint8_t* bottomUp) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, ShowFrameWidth(), ShowFrameHeight(), GL_RGBA, GL_UNSIGNED_BYTE, bottomUp);
}

void ReadDrawingBottomUp(uint8_t* bottomUp) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, DrawingWidth(), DrawingHeight(), GL_RGBA, GL_UNSIGNED_BYTE, bottomUp);
}

void UprightOpaque(const uint8_t* bottomUp, int width, int height, std::vector<uint8_t>& topDown) {
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  topDown.resize(rowBytes * height);
  for (int row = 0; row < height; ++row)
    std::copy_n(&bottomUp[(height - 1 - row) * rowBytes], rowBytes, &topDown[row * rowBytes]);
  // The alpha channel of the frame buffer holds whatever blending left there; a picture is opaque.
  for (size_t i = 3; i < topDown.size(); i += 4) topDown[i] = 255;
}

void UprightInOutput(const uint8_t* bottomUp, std::vector<uint8_t>& topDown) {
  const PictureRect picture = OutputPicture();
  const int width = std::min(ShowFrameWidth(), picture.width);
  const int height = std::min(ShowFrameHeight(), picture.height);
  if (picture.x == 0 && picture.y == 0 && width == Width && height == Height &&
      width == ShowFrameWidth()) {
    UprightOpaque(bottomUp, width, height, topDown);
    return;
  }
  const size_t outputRow = static_cast<size_t>(Width) * 4;
  const size_t frameRow = static_cast<size_t>(ShowFrameWidth()) * 4;
  topDown.assign(outputRow * Height, 0);
  for (size_t i = 3; i < topDown.size(); i += 4) topDown[i] = 255;
  // The picture's top row lies picture.y + height rows up from the output's bottom.
  const int top = Height - picture.y - height;
  for (int row = 0; row < height; ++row) {
    uint8_t* out = &topDown[(top + row) * outputRow + static_cast<size_t>(picture.x) * 4];
    std::copy_n(&bottomUp[(height - 1 - row) * frameRow], static_cast<size_t>(width) * 4, out);
    for (int x = 0; x < width; ++x) out[x * 4 + 3] = 255;
  }
}
