// The viewer's on-screen display: show time, scene, frame rate and volume over the window.
#pragma once

// The viewer's settings the display shows beside the show's clock.
struct DisplayedControls {
  bool paused = false;
  bool loop = false;
  int volume = 100;  // percent
  bool muted = false;
  bool dynamic = false;  // the drawing size follows the frame times
};

// Draws the display's four lines, on a dark box around them, in the upper left of the picture in
// a width x height drawable (window pixels) over what is there, its font rasterised for the
// picture's height (FontListBase made again when that changes). Leaves every GL state as it
// found it.
void DrawOnScreenDisplay(int width, int height, const DisplayedControls& controls);
