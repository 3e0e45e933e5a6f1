// The timedemo: the whole show drawn offscreen as fast as it goes, frame times per scene.
#pragma once

// Draws the show at 60 frames a second of show time and prints the table of frame times per scene
// in milliseconds and in full-screen quads; loadSeconds is the loading time to report. The exit code.
int RunTimedemo(double loadSeconds);
