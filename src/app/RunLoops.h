// The two interactive run loops: the timed show, and the live mode with its stream server.
#pragma once

// Plays the show from its timer until Escape, a window close or the first frame past its length.
void RunTimedShow();
// Runs the live mode until the tool window (or the GL window) is closed, then prints its counts.
void RunLiveMode();
