// The show's clock: the values every scene reads, written once per frame by whichever run loop
// is driving the show (the timed show, the live mode's timer, the offscreen modes).
#pragma once

extern float ShowTime;         // the show's clock in seconds: the music as heard (capture: frame / N)
extern float FrameDelta;       // duration of the previous frame in seconds
extern float FramesPerSecond;  // the timer's frame count of its last one-second window
extern bool ExitRequested;     // set once ShowTime has passed the show's length

// The show's length in seconds: the first frame past it ends the timed show.
inline constexpr float ShowLength = 207.0f;
