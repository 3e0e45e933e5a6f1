// Reading the drawn show frame back from GL, turned upright and made opaque.
#include "app/FrameReadback.h"

#include <algorithm>

#include "platform/GL.h"
#include "platform/ShowFrame.h"

void ReadFrameBottomUp(uint8_t* bottomUp) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, ShowFrameWidth, ShowFrameHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp);
}

void UprightOpaque(const uint8_t* bottomUp, std::vector<uint8_t>& topDown) {
  const size_t rowBytes = ShowFrameWidth * 4;
  topDown.resize(rowBytes * ShowFrameHeight);
  for (int row = 0; row < ShowFrameHeight; ++row)
    std::copy_n(&bottomUp[(ShowFrameHeight - 1 - row) * rowBytes], rowBytes, &topDown[row * rowBytes]);
  // The alpha channel of the frame buffer holds whatever blending left there; a picture is opaque.
  for (size_t i = 3; i < topDown.size(); i += 4) topDown[i] = 255;
}
