// The ending (flowers fading under the stars and the logo) and the pulse overlays.
#include "show/Ending.h"

#include <algorithm>

#include "render/Overlay.h"
#include "render/RenderState.h"
#include "scenes/Scenes.h"
#include "show/StarField.h"
#include "timeline/BeatClock.h"
#include "timeline/GentleFlashes.h"
#include "timeline/ShowClock.h"

TextureId LogoTexture = NoTexture;

namespace {
ColorRGBA Grey(float level) { return {level, level, level, 1}; }

// Overlay alphas run past [0, 1] during the fades; GL would clamp them anyway.
float Clamped(float alpha) { return std::clamp(alpha, 0.0f, 1.0f); }
}  // namespace

void DrawPulseOverlays() {
  Begin2D();
  // Pulse2 and Pulse1 themselves, unless gentle mode holds them back.
  if (Pulse2 > 0) DrawInvertRect(Grey(InversionLevel()), 0, 0, 800, 600);
  if (Pulse1 > 0) DrawRectAdditive({1, 1, 1, FlashOpacity()}, 0, 0, 800, 600);
  End2D();
}

// The flowers fade to black, the stars come out over the black, the logo darkens them and the
// last black covers everything. What an opaque black (alpha 1 after clamping: exactly black in
// the frame) will cover is drawn hidden: from 204 s the flowers, from 207 s (the live mode's
// clock runs on for hours) the stars and the logo too. Hidden drawing keeps every state change
// and every draw of the generator, so the frames after it are the same.
void DrawEnding() {
  const float flowersCovered = Clamped(ShowTime - 203.0f);
  const float allCovered = Clamped(ShowTime - 206.0f);
  const bool flowersHidden = flowersCovered >= 1;
  const bool allHidden = allCovered >= 1;
  if (flowersHidden) BeginHiddenDrawing();
  DrawFlowerScene();
  if (flowersHidden) EndHiddenDrawing();
  Begin2D();
  DrawRect({0, 0, 0, flowersCovered}, 0, 0, 800, 600);
  End2D();
  DrawStarField(true, allHidden);
  if (allHidden) BeginHiddenDrawing();
  Begin2D();
  DrawImage(LogoTexture, {0, 0, 0, Clamped(ShowTime - 204.0f)}, 144, 44, 512, 512);
  if (allHidden) EndHiddenDrawing();
  DrawRect({0, 0, 0, allCovered}, 0, 0, 800, 600);
  End2D();
}
