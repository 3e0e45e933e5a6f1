// Reading the drawn show frame back from GL, turned upright and made opaque.
#include "app/FrameReadback.h"

#include <algorithm>

#include "platform/GL.h"
#include "platform/ShowFrame.h"

void ReadFrameTopDown(std::vector<uint8_t>& pixels) {
  const size_t rowBytes = ShowFrameWidth * 4;
  // Kept from frame to frame: a fresh 1.9 MB buffer a frame costs page faults on every frame.
  static std::vector<uint8_t> bottomUp;
  bottomUp.resize(rowBytes * ShowFrameHeight);
  pixels.resize(bottomUp.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, ShowFrameWidth, ShowFrameHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  for (int row = 0; row < ShowFrameHeight; ++row)
    std::copy_n(&bottomUp[(ShowFrameHeight - 1 - row) * rowBytes], rowBytes, &pixels[row * rowBytes]);
  // The alpha channel of the frame buffer holds whatever blending left there; a picture is opaque.
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
}
