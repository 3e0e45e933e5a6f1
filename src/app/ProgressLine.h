// The progress line the offscreen modes print on stderr while they render.
#pragma once
#include "platform/SteadyClock.h"

class ProgressLine {
 public:
  // what names the mode ("capture", "frames"); total is the number of frames to come (at least 1).
  ProgressLine(const char* what, long total);
  // On a terminal the line is rewritten twice a second; into a file, one line every 30 s. The
  // last update always prints and ends the line.
  void Update(long done, bool last = false);

 private:
  const char* what_;
  long total_;
  SteadyClock::time_point start_;
  bool terminal_;
  double lastPrint_ = -1;
};
