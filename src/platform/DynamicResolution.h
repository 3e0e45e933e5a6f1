// The player's dynamic resolution: from the time each frame took, the drawing scale to draw the
// next one at, so that late frames are drawn smaller and the picture grows back, up to the
// frame's own size, when there is room.
#pragma once
#include <cmath>
#include <deque>
#include <vector>

class DynamicResolution {
 public:
  // budgetSeconds is the time a frame may take (one refresh of a 60 Hz display by default);
  // ceiling the largest drawing scale (the frame's, FrameScale()). Starts at the design size
  // (scale 1), or at the ceiling when that is smaller.
  explicit DynamicResolution(double budgetSeconds = 1.0 / 60.0, float ceiling = 1.0f);
  // Takes the duration of the frame just drawn and returns the scale to draw the next at, between
  // MinimumDrawingScale (or the ceiling when that is smaller) and the ceiling.
  float FrameTook(double seconds);
  // The same, foreseeing: costNow is what a table of costs says of the frame just drawn, and
  // costAhead the largest cost it says of the frames about to be drawn, both at the design size
  // and in the table's own unit (NaN where it says nothing). From the frames drawn it learns
  // what a unit of the table costs on this machine, and draws the stretch ahead no larger than
  // it will hold, before its frames run late; after the stretch the drawing is as large again as
  // the frames before it allowed.
  float FrameTook(double seconds, double costNow, double costAhead);
  // A new largest scale (the frame was made again at another size): the scale is held within it
  // and judged afresh. Returns the scale to draw the next frame at.
  float SetCeiling(float ceiling);
  float Scale() const { return drawn_; }
  float Ceiling() const { return ceiling_; }
  // The smallest scale returned so far.
  float LowestScale() const { return lowest_; }

 private:
  void Changed(float scale);
  void Draw(float scale);
  // The largest scale the stretch ahead holds by the table, on the ladder of shrink steps down
  // from the ceiling; the ceiling when the table or the frames say too little.
  float Foreseen(double costAhead);

  double budget_;
  float ceiling_;
  float scale_;  // the size the frames themselves ask for
  float drawn_;  // the size drawn: scale_, or less where a heavy stretch is foreseen
  float lowest_;
  std::deque<double> perUnit_;  // recent frames' seconds per unit of the table at scale 1
  std::vector<double> sorted_;  // their copy for the quartile, kept so that no frame allocates
  std::deque<double> recent_;  // the last frames' durations, newest last
  int settling_ = 0;           // frames still to pass before the next judgement
  double roomySeconds_ = 0;    // time of the unbroken run of frames that would fit larger
  double onTimeSeconds_ = 0;   // time of the unbroken run of frames within the budget
};
