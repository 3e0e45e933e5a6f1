// Running means of the frame interval and the time to present a frame.
#include "timeline/PictureLead.h"

#include <algorithm>
#include <cmath>

namespace {
double Usable(double seconds) { return std::isfinite(seconds) ? std::clamp(seconds, 0.0, PictureLead::Limit) : 0.0; }
}  // namespace

void PictureLead::Frame(double interval, double present) {
  interval = Usable(interval);
  present = Usable(present);
  if (!started_) {
    interval_ = interval;
    present_ = present;
    started_ = true;
    return;
  }
  interval_ += Weight * (interval - interval_);
  present_ += Weight * (present - present_);
}

double PictureLead::Seconds() const { return present_ + interval_ / 2; }
