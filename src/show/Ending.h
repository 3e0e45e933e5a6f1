// The show's last seconds and the beat's full-screen pulses: the fixed ending from 198 s, the
// white flash and the inversion.
#pragma once
#include "render/Types.h"

// The logo of the ending ("vantrel_a.jpg" coloured, alpha from "vantrel.jpg"), loaded with the
// show's assets.
extern TextureId LogoTexture;

// The fixed ending for ShowTime from 198 s: flowers, fade, stars, the logo, the last fade.
void DrawEnding();
// The inversion quad while Pulse2 > 0 and the additive white flash while Pulse1 > 0.
void DrawPulseOverlays();
