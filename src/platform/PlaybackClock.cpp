// The music as heard: the mean of the recent buffer stamps, approached at a bounded rate.
#include "platform/PlaybackClock.h"

#include <algorithm>
#include <cmath>

void PlaybackClock::Buffer(double wall, double position, double delay) {
  double& slot = offsets_[count_ % Window];
  if (count_ >= Window) sum_ -= slot;
  slot = position - delay - wall;
  sum_ += slot;
  ++count_;
}

double PlaybackClock::Target(double wall) const {
  if (count_ == 0) return std::nan("");
  return wall + sum_ / static_cast<double>(std::min(count_, Window));
}

double PlaybackClock::Heard(double wall) {
  if (count_ == 0) return std::nan("");
  const double target = Target(wall) - wall;
  if (!following_) {
    offset_ = target;
    lastWall_ = wall;
    following_ = true;
  } else if (wall > lastWall_) {
    const double reach = MaxSlew * (wall - lastWall_);
    offset_ += std::clamp(target - offset_, -reach, reach);
    lastWall_ = wall;
  }
  return lastWall_ + offset_;
}
