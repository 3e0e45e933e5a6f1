// The show's clock: the values every scene reads, written once per frame by whichever run loop
// is driving the show (the timed show, the live mode's timer, the offscreen modes).
#pragma once

extern float ShowTime;         // the show's clock in seconds: the music as heard (capture: frame / N)
extern float FrameDelta;       // duration of the previous frame in seconds
extern float FramesPerSecond;  // the timer's frame count of its last one-second window
extern bool ExitRequested;     // set once ShowTime has passed the show's length

// The show's length in seconds: the first frame past it ends the timed show.
inline constexpr float ShowLength = 207.0f;
// ShowTime after which the star field is drawn over the scenes (and the point burst's points are
// round like the stars').
inline constexpr float StarFieldStartTime = 160.0f;
// ShowTime from which the fixed ending replaces the scenes and the beat clock stops.
inline constexpr float EndingStartTime = 198.0f;

// The simulations (cloth, water) advance a frame in equal steps of at most 1/60 s, the rate
// their constants were tuned at; a frame longer than MaxSimulatedFrame (a stall) is advanced by
// that much only, so it never costs seconds of catching up.
inline constexpr float MaxSimulatedFrame = 0.5f;
struct SimulationSteps {
  int count = 0;      // 0 for a frame of no time (or a negative or NaN one)
  float length = 0;   // seconds per step; frameDelta itself when count is 1
};
// ceil(frameDelta * 60) steps of frameDelta / count; exactly one step of frameDelta at 60 frames
// a second (1.0f / 60 and the rounding of a real timer's reading around it).
SimulationSteps SplitFrame(float frameDelta);
// A factor applied once per 1/60 s (a damping), for a step of `sixtieths` / 60 s:
// factor ^ sixtieths, bit for bit the factor itself when sixtieths is 1.
float FactorForStep(float factorPerSixtieth, float sixtieths);
