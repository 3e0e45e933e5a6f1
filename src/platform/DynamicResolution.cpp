// The dynamic resolution's rule: shrink at once when frames run late, grow back slowly.
#include "platform/DynamicResolution.h"

#include <algorithm>
#include <numeric>

#include "platform/ShowFrame.h"

namespace {
constexpr size_t JudgedFrames = 8;
constexpr float ShrinkStep = 0.9f;  // a factor on the side
constexpr float GrowStep = 0.05f;   // added to the side
constexpr double LateMargin = 1.05;
constexpr double RoomySecondsToGrow = 1.0;
constexpr double OnTimeSecondsToGrow = 3.0;
}  // namespace

DynamicResolution::DynamicResolution(double budgetSeconds) : budget_(budgetSeconds) {}

float DynamicResolution::FrameTook(double seconds) {
  if (!(seconds >= 0)) return scale_;
  recent_.push_back(seconds);
  if (recent_.size() > JudgedFrames) recent_.pop_front();
  // Hysteresis: the side shrinks by 10 % at once when the mean of the last 8 frames runs more
  // than 5 % over the budget, and grows by 5 % only after a second of frames that would still
  // fit at the larger size (their time scaled by the area it adds) or, where a display's refresh
  // hides the room, after three seconds of frames all within the budget; after any change 8
  // frames pass unjudged, so that only frames of the new size are judged. Shrinking fast in big
  // steps and growing slowly in small ones keeps the size from pumping.
  const float larger = std::min(1.0f, scale_ + GrowStep);
  const double areaGrowth = static_cast<double>(larger) * larger / (static_cast<double>(scale_) * scale_);
  roomySeconds_ = seconds * areaGrowth <= budget_ ? roomySeconds_ + seconds : 0;
  onTimeSeconds_ = seconds <= budget_ ? onTimeSeconds_ + seconds : 0;
  if (settling_ > 0) {
    --settling_;
    return scale_;
  }
  const double mean = std::accumulate(recent_.begin(), recent_.end(), 0.0) / static_cast<double>(recent_.size());
  float next = scale_;
  if (mean > budget_ * LateMargin && scale_ > MinimumDrawingScale)
    next = std::max(MinimumDrawingScale, scale_ * ShrinkStep);
  else if (scale_ < 1.0f && (roomySeconds_ >= RoomySecondsToGrow || onTimeSeconds_ >= OnTimeSecondsToGrow))
    next = larger;
  if (next != scale_) {
    scale_ = next;
    lowest_ = std::min(lowest_, scale_);
    settling_ = static_cast<int>(JudgedFrames);
    roomySeconds_ = 0;
    onTimeSeconds_ = 0;
    recent_.clear();
  }
  return scale_;
}
