// The dynamic resolution's rule: shrink at once when frames run late, grow back slowly.
#include "platform/DynamicResolution.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/ShowFrame.h"

namespace {
constexpr size_t JudgedFrames = 8;
constexpr float ShrinkStep = 0.9f;  // a factor on the side
// A factor on the side too: the same number of steps from 0.6 to 1 as from 1 to 1.8, so that a
// large screen's native size is reached as soon as a small one's.
constexpr float GrowStep = 1.06f;
// A scale this close under the ceiling grows straight to it rather than by a sliver.
constexpr float CeilingSnap = 1.02f;
constexpr double LateMargin = 1.05;
constexpr double RoomySecondsToGrow = 1.0;
constexpr double OnTimeSecondsToGrow = 3.0;

float Floor(float ceiling) { return std::min(MinimumDrawingScale, ceiling); }
}  // namespace

DynamicResolution::DynamicResolution(double budgetSeconds, float ceiling)
    : budget_(budgetSeconds),
      ceiling_(ceiling > 0 ? ceiling : 1.0f),
      scale_(std::min(1.0f, ceiling_)),
      lowest_(scale_) {}

void DynamicResolution::Changed(float scale) {
  scale_ = scale;
  lowest_ = std::min(lowest_, scale_);
  settling_ = static_cast<int>(JudgedFrames);
  roomySeconds_ = 0;
  onTimeSeconds_ = 0;
  recent_.clear();
}

float DynamicResolution::SetCeiling(float ceiling) {
  if (!(ceiling > 0) || ceiling == ceiling_) return scale_;
  ceiling_ = ceiling;
  // The same share of the design size as before when it still fits: a larger screen is earned
  // by frames with room, as any growth is.
  Changed(std::clamp(scale_, Floor(ceiling_), ceiling_));
  return scale_;
}

float DynamicResolution::FrameTook(double seconds) {
  if (!(seconds >= 0)) return scale_;
  recent_.push_back(seconds);
  if (recent_.size() > JudgedFrames) recent_.pop_front();
  // Hysteresis: the side shrinks by 10 % at once when the mean of the last 8 frames runs more
  // than 5 % over the budget, and grows by 6 % only after a second of frames that would still
  // fit at the larger size (their time scaled by the area it adds) or, where a display's refresh
  // hides the room, after three seconds of frames all within the budget; after any change 8
  // frames pass unjudged, so that only frames of the new size are judged. Shrinking fast in big
  // steps and growing slowly in small ones keeps the size from pumping.
  // The design size is a step of its own on the way up: 800 x 600 is drawn whenever it fits.
  float larger = scale_ * GrowStep;
  if (scale_ < 1.0f && larger > 1.0f) larger = 1.0f;
  if (larger * CeilingSnap >= ceiling_) larger = ceiling_;
  const double areaGrowth = static_cast<double>(larger) * larger / (static_cast<double>(scale_) * scale_);
  roomySeconds_ = seconds * areaGrowth <= budget_ ? roomySeconds_ + seconds : 0;
  onTimeSeconds_ = seconds <= budget_ ? onTimeSeconds_ + seconds : 0;
  if (settling_ > 0) {
    --settling_;
    return scale_;
  }
  const double mean = std::accumulate(recent_.begin(), recent_.end(), 0.0) / static_cast<double>(recent_.size());
  float next = scale_;
  if (mean > budget_ * LateMargin && scale_ > Floor(ceiling_))
    next = std::max(Floor(ceiling_), scale_ * ShrinkStep);
  else if (scale_ < ceiling_ && (roomySeconds_ >= RoomySecondsToGrow || onTimeSeconds_ >= OnTimeSecondsToGrow))
    next = larger;
  if (next != scale_) Changed(next);
  return scale_;
}
