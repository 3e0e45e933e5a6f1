// The yardstick that makes figures from different machines comparable: one full-screen
// (800 x 600) textured, additively blended quad, each timed alone between two glFinish calls.
#pragma once
#include <cstddef>
#include <vector>

class QuadYardstick {
 public:
  // A handful of quads, drawn into the frame (which the next frame clears); taken every few
  // seconds of a run, the unit follows the machine's load through it just as the frames do.
  // Always 800 x 600 pixels, whatever the drawing size, so that figures of every size read in
  // one unit.
  void Measure();
  // The median quad in milliseconds (0 before any).
  double Median() const;
  size_t Count() const { return milliseconds_.size(); }

 private:
  std::vector<double> milliseconds_;
};
