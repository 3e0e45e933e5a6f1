// The music as heard: a smooth clock fitted to the buffers the mixer hands to the device.
#pragma once
#include <cstddef>

// Each buffer of music the mixer fills is stamped with the wall-clock moment it was filled, the
// music position of its first frame and the output delay until that frame is heard. A buffer
// filled late (the audio thread was not scheduled at once) or early (the device asked for two
// at a time) puts that single stamp off by up to a buffer; the clock follows the mean of the
// recent stamps instead, and moves towards it at no more than MaxSlew of real time, so the
// picture neither judders nor drifts from the sound (a device clock that runs a little fast or
// slow against the wall clock is followed, lagging by half the window times its error).
class PlaybackClock {
 public:
  static constexpr std::size_t Window = 64;  // buffers averaged: about 1.5 s at 1024 frames
  static constexpr double MaxSlew = 0.1;     // the most the clock runs fast or slow to catch up

  // One buffer filled at wall time `wall` (seconds) whose first frame is `position` seconds
  // into the music and reaches the listener `delay` seconds after `wall`. Any thread may call;
  // the caller serialises calls with Heard.
  void Buffer(double wall, double position, double delay);
  // The music position heard at wall time `wall`, in seconds (negative before the first frame
  // is heard); NaN before the first buffer. Successive calls never go back.
  double Heard(double wall);
  bool Started() const { return count_ > 0; }
  // The music position heard at `wall` by the mean of the recent stamps alone (no bounded
  // approach): what Heard converges on. NaN before the first buffer.
  double Target(double wall) const;

 private:
  double offsets_[Window] = {};  // music position heard minus wall time, per buffer
  std::size_t count_ = 0;        // buffers seen (the window holds the last min(count_, Window))
  double sum_ = 0;               // of the offsets in the window
  bool following_ = false;       // Heard has run once: offset_ is in use
  double offset_ = 0, lastWall_ = 0;
};
