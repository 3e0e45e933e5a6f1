// The timedemo: the whole show drawn offscreen as fast as it goes, frame times per scene.
#pragma once

// Draws the show at 60 frames a second of show time and prints the table of frame times per scene
// in milliseconds and in full-screen quads, with each scene's share of frames over 7.3 quads; then
// draws it again with the player's dynamic resolution and prints the same table for that pass.
// loadSeconds is the loading time to report. The exit code.
int RunTimedemo(double loadSeconds);
