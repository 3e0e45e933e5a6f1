// Reaching a frame of the show other than the next: a late start, the viewer's jumps, and the
// resets every pass of the show starts from.
#pragma once

// A run that starts later in the show draws this much of the show before its first frame (unseen),
// so that whatever drawing carries from frame to frame (render textures, the frame buffer) holds
// what a whole run has.
inline constexpr float WarmUpSeconds = 2.0f;
// Brings everything the show carries to the first frame at or after ShowTime target of a run at
// framesPerSecond as a whole run from a reset leaves it: the frames before target - WarmUpSeconds
// advanced without drawing (from the nearest snapshot; every scene sets the GL state it draws
// with, so nothing drawn before is needed), the rest before target drawn as unseen frames (nor
// guarded: gentle mode's flash guard starts with the first frame shown, as a viewer does). The
// generator is reseeded from the show's time throughout, as in the offscreen modes. Returns the
// index of that first frame (ShowTime = frame / framesPerSecond); ShowTime and FrameDelta are
// left as the last frame before it set them.
long AdvanceShowTo(float target, int framesPerSecond);
// What the last AdvanceShowTo did: frames drawn unseen, and the seconds spent bringing the
// carried state to its frames (from snapshots) and issuing the unseen frames' drawing.
struct AdvanceFigures {
  long unseenFrames = 0;
  double stateSeconds = 0;
  double drawingSeconds = 0;
};
const AdvanceFigures& LastAdvanceFigures();
// What AdvanceShowTo does, for a show that is already playing (the viewer's jumps): the same
// first frame and the same carried state, from the snapshots, and the GL state loading left
// (RememberRenderState). No warm-up is drawn: every scene sets the GL state it draws with and
// no texture the show copies into outlives the frame that reads it, so the warm-up leaves
// nothing the first frame reads, and that frame is the one a late start at target draws.
long SeekShowTo(float target, int framesPerSecond);
// Remembers the generator's seed as loading left it, where every pass of the show starts (the
// snapshots taken before are dropped).
void RecordShowStart();
// Beat clock, every scene's simulation and camera and the generator's seed back to how loading
// left them.
void ResetCarriedState();
// Everything the show carries from frame to frame back to how loading left it, as on a first
// run: beat clock, every scene's simulation and camera, the generator's seed, ExitRequested.
void ResetShow();
