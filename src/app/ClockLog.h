// The timed show's clock log (VANTREL_CLOCK_LOG set): lines on standard error that let a
// recording of the run tell the program's own timing from the recorder's.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/Controls.h"

// Once a second, a line with the wall clock (Unix seconds, as screen and sound recorders stamp
// their input) as a frame starts, its show time, the music heard then (smoothed, and by the
// recent buffer stamps alone), the picture's lead and the drawing scale, then the show time the
// music heard stands for, whether the show is paused, the listening volume, whether it loops,
// whether the on-screen display is switched on, whether the mouse cursor is shown and the size
// drawn. The pass's end adds the frame times of the pass: how many frames, the share within
// 17 ms (a 60 Hz refresh), the median and the 95th percentile, the lowest scale; and the sizes
// drawn: the share of frames at each, the lowest and the highest, the share on time; and the
// frames over 17 ms by the scene they drew. A line for every jump says
// where it landed and how long it took from its key to the frame shown. Silent when unset.
// The end line's sizes: "vantrel: sizes drawn 1440x1080 60.0 %, 800x600 40.0 %; lowest 800x600,
// highest 1440x1080; 97.5 % on time", the sizes from the largest down.
std::string SizesLine(const std::map<std::pair<int, int>, long>& frames, double onTimePercent);

class ClockLog {
 public:
  ClockLog();
  // A frame starts: frameSeconds is the last frame's duration (0 for none), music the show time
  // the music heard stands for; times in seconds.
  void FrameStarts(double showTime, double heard, double lead, double frameSeconds, double music,
                   const ViewerControls& controls);
  // A line of its own ("vantrel: clock " and the text), once.
  void Note(const std::string& text) const;
  // A jump to target landed at show time landed, seconds after its key.
  void Jumped(double target, double landed, double seconds);
  // The pass's end, with the show time heard when it was decided; starts the next pass's figures.
  void ShowEnds(double showTime, double heardShow);

 private:
  bool enabled_;
  double last_ = 0;
  std::vector<double> frameSeconds_;
  float lowestScale_ = 1.0f;
  std::map<std::pair<int, int>, long> sizes_;  // frames drawn at each width x height
  std::map<int, long> lateByScene_;            // frames over 17 ms by the scene drawn (-1: the ending)
  int lastScene_ = 0;                          // the scene of the frame started last
};
