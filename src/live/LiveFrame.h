// The live frame: one packet of StreamValues turned into one presented picture of layers.
#pragma once

// The overlay picture slot 6 asks for: the live texture number s6 rounds to (halves to even),
// or -1 when it rounds outside 0 to 4 (nothing is drawn then).
int OverlayPictureNumber(float s6);
// Seconds on the live mode's steady clock when the packet being drawn arrived (the server sets
// it); gentle mode counts slot 0's flashes with it.
extern double LivePacketSeconds;

// Draws the layers the present slots switch on, the flash, the overlay picture and the bars,
// then presents the frame and polls the keyboard. Needs CreateLiveAssets to have run.
void DrawLiveFrame();
