// The full-screen quad every frame time is measured against.
#include "app/QuadYardstick.h"

#include <algorithm>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/SteadyClock.h"
#include "render/Overlay.h"
#include "show/Ending.h"

void QuadYardstick::Measure() {
  glViewport(0, 0, DesignWidth, DesignHeight);
  Begin2D();
  for (int i = 0; i < 4; ++i) {
    glFinish();
    const SteadyClock::time_point start = SteadyClock::now();
    DrawImageAdditive(LogoTexture, {1, 1, 1, 1}, 0, 0, DesignWidth, DesignHeight);
    glFinish();
    milliseconds_.push_back(SecondsSince(start) * 1000.0);
  }
  End2D();
  SetDrawingViewport();
}

double QuadYardstick::Median() const {
  if (milliseconds_.empty()) return 0;
  std::vector<double> sorted = milliseconds_;
  // The lower of the two middle ones of an even count.
  const auto middle = sorted.begin() + static_cast<long>((sorted.size() + 1) / 2 - 1);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return *middle;
}
