// The player's dynamic resolution: from the time each frame took, the drawing scale to draw the
// next one at, so that late frames are drawn smaller and the picture grows back, up to the
// frame's own size, when there is room.
#pragma once
#include <deque>

class DynamicResolution {
 public:
  // budgetSeconds is the time a frame may take (one refresh of a 60 Hz display by default);
  // ceiling the largest drawing scale (the frame's, FrameScale()). Starts at the design size
  // (scale 1), or at the ceiling when that is smaller.
  explicit DynamicResolution(double budgetSeconds = 1.0 / 60.0, float ceiling = 1.0f);
  // Takes the duration of the frame just drawn and returns the scale to draw the next at, between
  // MinimumDrawingScale (or the ceiling when that is smaller) and the ceiling.
  float FrameTook(double seconds);
  // A new largest scale (the frame was made again at another size): the scale is held within it
  // and judged afresh. Returns the scale to draw the next frame at.
  float SetCeiling(float ceiling);
  float Scale() const { return scale_; }
  float Ceiling() const { return ceiling_; }
  // The smallest scale returned so far.
  float LowestScale() const { return lowest_; }

 private:
  void Changed(float scale);

  double budget_;
  float ceiling_;
  float scale_;
  float lowest_;
  std::deque<double> recent_;  // the last frames' durations, newest last
  int settling_ = 0;           // frames still to pass before the next judgement
  double roomySeconds_ = 0;    // time of the unbroken run of frames that would fit larger
  double onTimeSeconds_ = 0;   // time of the unbroken run of frames within the budget
};
