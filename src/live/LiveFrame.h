// The live frame: one packet of StreamValues turned into one presented picture of layers.
#pragma once

// Creates the live assets (textures, grids, brushes) once; the first call does the work.
void CreateLiveAssets();
// Draws the layers the present slots switch on, the flash, the overlay picture and the bars,
// then presents the frame and polls the keyboard.
void DrawLiveFrame();
