// Snapshots of everything the show carries from frame to frame on the processor side, kept along
// the show so that reaching a frame late in it costs a few frames of advancing, not all of them.
#pragma once

// Brings every state the show carries (beat clock, every scene's simulation and camera, the
// generator's seed) to where advancing a reset show without drawing through frames 0 to
// frame - 1 at framesPerSecond leaves it, with the generator reseeded from the show's time as
// the offscreen modes do. Starts from the nearest snapshot at or before frame and keeps one
// every two seconds of show time along the way, and one at frame. ShowTime, FrameDelta and
// FramesPerSecond are left as the last advanced frame set them.
void RestoreShowFrameState(long frame, int framesPerSecond);
// Advances the snapshots of the design rate (60 frames a second) by at most `frames` frames
// beyond the last one kept, leaving every state the show carries as it found it: the viewer
// spends a little of each frame on this, so that later jumps find their snapshot ready.
// Returns false once the whole show is covered.
bool ExtendShowSnapshots(long frames);
// Drops every snapshot (loading calls it: a snapshot holds what loading made).
void ForgetShowSnapshots();
