// The viewer's on-screen display: show time, scene, frame rate and volume over the window.
#pragma once

// The viewer's settings the display shows beside the show's clock.
struct DisplayedControls {
  bool paused = false;
  bool loop = false;
  int volume = 100;  // percent
  bool muted = false;
};

// Draws the display's three lines in the upper left of a width x height drawable (window pixels)
// over what is there; nothing without the bitmap font. Leaves every GL state as it found it.
void DrawOnScreenDisplay(int width, int height, const DisplayedControls& controls);
