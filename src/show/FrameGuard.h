// Gentle mode's frame flash guard on the GL side: reads each drawn show frame back, and when it
// would make a fourth flash within a second blends it towards the last frame shown.
#pragma once

// In gentle mode, judges the frame just drawn for ShowTime against the frames shown before it
// and, when it must be softened, draws the blend over it in place (every GL state as it was).
// Does nothing without gentle mode. A ShowTime before the last guarded frame's or more than half
// a second after it (a new pass, a jump, a pause of the show in live mode) starts afresh.
void GuardShowFrame();
// Forgets the frames shown (ResetShow calls it).
void ResetFrameGuard();
// Frames the guard softened since the program started, for the figures runs print.
long GuardedFrameCount();
