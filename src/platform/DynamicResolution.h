// The player's dynamic resolution: from the time each frame took, the share of the frame's side
// to draw the next one at, so that late frames are drawn smaller and the picture grows back
// when there is room.
#pragma once
#include <deque>

class DynamicResolution {
 public:
  // budgetSeconds is the time a frame may take (one refresh of a 60 Hz display by default).
  explicit DynamicResolution(double budgetSeconds = 1.0 / 60.0);
  // Takes the duration of the frame just drawn and returns the scale to draw the next at, between
  // MinimumDrawingScale and 1.
  float FrameTook(double seconds);
  float Scale() const { return scale_; }
  // The smallest scale returned so far.
  float LowestScale() const { return lowest_; }

 private:
  double budget_;
  float scale_ = 1.0f;
  float lowest_ = 1.0f;
  std::deque<double> recent_;  // the last frames' durations, newest last
  int settling_ = 0;           // frames still to pass before the next judgement
  double roomySeconds_ = 0;    // time of the unbroken run of frames that would fit larger
  double onTimeSeconds_ = 0;   // time of the unbroken run of frames within the budget
};
