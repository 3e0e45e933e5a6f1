// The timed show's run loop: the show played on the music as heard, under the viewer's keys.
#pragma once

// Plays the show from its timer until Escape, q, a window close or the first frame past its
// length; from start seconds (every carried state advanced to it first, the music from there),
// and with loop again from 0 s after each end. Starts the music itself (load without it). With
// dynamicResolution, frames that run late are drawn smaller (see DynamicResolution). With
// paused, the first frame at or after start is shown held until the viewer resumes. The
// viewer's keys (Controls.h) pause, jump, step, save screenshots and so on. With a linkQuantum
// (1 to 16; 0: none) the show leads a Link session (see ShowLinkLeader).
void RunTimedShow(float start = 0.0f, bool loop = false, bool dynamicResolution = false, bool paused = false,
                  int linkQuantum = 0);
