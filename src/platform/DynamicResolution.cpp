// The dynamic resolution's rule: shrink at once when frames run late, grow back slowly.
#include "platform/DynamicResolution.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

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

// The foresight: what a unit of the cost table takes on this machine is learned from this many of
// the latest frames, and only once half of them are in.
constexpr size_t LearnedFrames = 120;
// The lower quartile of their seconds per unit: a display's refresh can only lengthen a frame, so
// the quicker frames say more truly what drawing costs.
constexpr double LearnedShare = 0.25;
// A foreseen stretch is drawn at the size that fills this share of the budget.
constexpr double ForeseenHeadroom = 0.9;
}  // namespace

DynamicResolution::DynamicResolution(double budgetSeconds, float ceiling)
    : budget_(budgetSeconds),
      ceiling_(ceiling > 0 ? ceiling : 1.0f),
      scale_(std::min(1.0f, ceiling_)),
      drawn_(scale_),
      lowest_(scale_) {}

void DynamicResolution::Changed(float scale) {
  scale_ = scale;
  Draw(scale);
}

// A new size drawn: only frames of that size are judged from here on.
void DynamicResolution::Draw(float scale) {
  drawn_ = scale;
  lowest_ = std::min(lowest_, drawn_);
  settling_ = static_cast<int>(JudgedFrames);
  roomySeconds_ = 0;
  onTimeSeconds_ = 0;
  recent_.clear();
}

float DynamicResolution::Foreseen(double costAhead) {
  if (!(costAhead > 0) || perUnit_.size() < LearnedFrames / 2) return ceiling_;
  sorted_.assign(perUnit_.begin(), perUnit_.end());
  const auto at = sorted_.begin() + static_cast<long>(LearnedShare * static_cast<double>(sorted_.size()));
  std::nth_element(sorted_.begin(), at, sorted_.end());
  // The drawing's cost grows with the pixels drawn: the square of the scale.
  const double fits = std::sqrt(budget_ * ForeseenHeadroom / (*at * costAhead));
  float scale = ceiling_;
  while (scale > fits && scale > Floor(ceiling_)) scale = std::max(Floor(ceiling_), scale * ShrinkStep);
  return scale;
}

float DynamicResolution::FrameTook(double seconds, double costNow, double costAhead) {
  if (!(seconds >= 0)) return drawn_;
  if (costNow > 0 && std::isfinite(costNow)) {
    perUnit_.push_back(seconds / (costNow * static_cast<double>(drawn_) * drawn_));
    if (perUnit_.size() > LearnedFrames) perUnit_.pop_front();
  }
  const float asked = FrameTook(seconds);
  const float foreseen = std::max(Floor(ceiling_), std::min(asked, Foreseen(costAhead)));
  if (foreseen != drawn_) Draw(foreseen);
  return drawn_;
}

float DynamicResolution::SetCeiling(float ceiling) {
  if (!(ceiling > 0) || ceiling == ceiling_) return drawn_;
  ceiling_ = ceiling;
  // The same share of the design size as before when it still fits: a larger screen is earned
  // by frames with room, as any growth is.
  Changed(std::clamp(scale_, Floor(ceiling_), ceiling_));
  return drawn_;
}

float DynamicResolution::FrameTook(double seconds) {
  if (!(seconds >= 0)) return drawn_;
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
  // Frames of a size held down for a stretch ahead judge that size: late, it shrinks from there;
  // with room, the frames' own size is not grown on their account.
  if (mean > budget_ * LateMargin && drawn_ > Floor(ceiling_))
    next = std::max(Floor(ceiling_), drawn_ * ShrinkStep);
  else if (drawn_ == scale_ && scale_ < ceiling_ &&
           (roomySeconds_ >= RoomySecondsToGrow || onTimeSeconds_ >= OnTimeSecondsToGrow))
    next = larger;
  if (next != scale_) Changed(next);
  return scale_;
}
