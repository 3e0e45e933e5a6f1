// How far ahead of the music heard now a frame is drawn, so that it is seen with its sound.
#pragma once

// A frame drawn for the music heard as it starts reaches the screen only when it is presented,
// and stays there until the next frame is: it is seen, on average, from its start plus the
// time to present it plus half the time between frames. PictureLead follows both times in
// running means and draws each frame that far ahead, so a flash meets its sound at any frame
// rate (at 60 frames a second with quick frames the lead is about 10 ms; a software renderer
// at 20 frames a second needs about 75 ms).
class PictureLead {
 public:
  static constexpr double Weight = 0.1;  // share of each new frame in the running means
  static constexpr double Limit = 0.25;  // the longest frame taken into account: a stall is no trend

  // One frame done: it started `interval` seconds after the one before it and took `present`
  // seconds from its start until it was handed to the screen.
  void Frame(double interval, double present);
  // Seconds to draw the next frame ahead of the music heard as it starts (0 before any frame).
  double Seconds() const;

 private:
  double interval_ = 0, present_ = 0;
  bool started_ = false;
};
