// Gentle mode: the show's full-screen flashes and inversions held to at most three in any second
// (the rest softened below the flash threshold) and drawn with less contrast, for viewers who are
// sensitive to flashing light. The choice is a fixed table over the steps of the music, so a
// gentle capture is as reproducible as a default one.
#pragma once
#include <cstdint>

// Set by the program from --gentle before the first frame; off by default, and with it off every
// function below gives the default show's values unchanged.
extern bool GentleMode;

// Opacity of a white flash that gentle mode keeps (the default show's flash is 1 at its peak).
inline constexpr float KeptFlashOpacity = 0.5f;
// Grey level of an inversion that gentle mode keeps: colours fold to 0.25 .. 0.75 instead of
// 1 .. 0 (the inversion blend with a grey source g gives g + d (1 - 2 g)).
inline constexpr float KeptInversionLevel = 0.75f;
// Level of a flash or inversion that gentle mode drops: a change of at most 0.04 in any colour
// channel, which stays below a tenth of relative luminance, so the beat is still a faint flicker.
inline constexpr float SoftFlashLevel = 0.04f;
// Four kept flashes always lie at least this many steps apart (more than one second plus the two
// steps over which a flash rises and falls), so no one-second window sees a fourth.
inline constexpr int FlashSpacingSteps = 15;

// Whether gentle mode keeps the flash or inversion of the pulse-track event at step (a kind-1 or
// kind-2 step); false for any other step. Cuts from one scene to another (into and out of scene
// 7's inversion among them) always happen and are counted first.
bool GentleKeepsFlash(int64_t step);
// The white flash's opacity this frame: Pulse1, or in gentle mode Pulse1 scaled for the event the
// level belongs to (the rise across the step before an event belongs to that event).
float FlashOpacity();
// The inversion's grey level this frame: Pulse2, or in gentle mode the kept or soft level.
float InversionLevel();
// Scene 7's full-screen inversion: 1, or in gentle mode the kept level.
float SceneInversionLevel();

// Live mode's slot-0 flash in gentle mode: every new rise of the opacity counts as a flash, at
// most three within FlashWindowSeconds; a rise beyond that is held to a soft step; everything is
// drawn at half opacity. Without gentle mode the requested opacity passes unchanged.
class FlashRateLimiter {
 public:
  // One second plus a margin for the fall of the last flash.
  static constexpr double FlashWindowSeconds = 1.2;
  // The opacity to draw for a requested one (NaN or below 0: none) at seconds on a steady clock.
  float Opacity(float requested, double seconds);

 private:
  double onsets_[3] = {-1e9, -1e9, -1e9};  // the last three flash onsets, oldest first
  bool rising_ = false;                     // in a flash: its rise has been counted
  float low_ = 0;                           // lowest opacity shown since the last flash
  float high_ = 0;                          // highest opacity shown in the current flash
};
