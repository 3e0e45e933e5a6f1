// The live frame: which layer each stream slot switches on, in drawing order.
#include "live/LiveFrame.h"

#include <algorithm>
#include <cmath>

#include "live/LiveAssets.h"
#include "live/LiveLayers.h"
#include "live/LiveMeshLayers.h"
#include "live/SlotMap.h"
#include "live/StreamPackets.h"
#include "platform/GL.h"
#include "platform/Input.h"
#include "platform/Window.h"
#include "render/Effects.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "timeline/GentleFlashes.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

double LivePacketSeconds = 0;

namespace {
// The largest magnitude a slot's value is drawn with; infinities and larger values are drawn as
// this. It lies far beyond any value a layer draws differently, yet keeps every layer's
// arithmetic finite: 20 v + 65 as a field of view (slots 2, 8), 0.1 v in a rotation axis
// (slot 8), 40 v + 40 and 120 - 120 v as feedback growth and 325 v as a position (slots 2, 10).
// An infinity there would put NaNs into the projection, vertices and feedback textures.
constexpr float LiveValueLimit = 1.0e6f;
// Slot 0's flash as drawn: the client's value, or in gentle mode held to three flashes a second.
FlashRateLimiter FlashLimiter;

bool Present(int slot) { return !std::isnan(StreamValues[slot]); }
// A slot's value as the layers draw it; a NaN stays a NaN (absent).
float Value(int slot) { return std::clamp(StreamValues[slot], -LiveValueLimit, LiveValueLimit); }

void DrawFeedbackLayer(float s10) {
  BeginRenderToTexture(LiveAssets.Feedback);
  Begin2D();
  DrawPicture(LiveAssets.Textures[2], 325.0f * s10, 75, 475, 475);
  End2D();
  EndRenderToTexture(LiveAssets.Feedback);
  ZoomRotateFeedback(LiveAssets.Feedback, 4, 50.0f - 50.0f * s10, 120.0f - 120.0f * s10, 3);
}

// A layer drawn from the state every scene starts from, so that it draws the same whatever layer
// (or show frame) came before it.
template <typename Draw>
void DrawLayer(Draw draw) {
  StartSceneState();
  draw();
}

void DrawOverlayPicture() {
  const int number = OverlayPictureNumber(Value(OverlayPictureSlot));
  if (number == 4) {
    DrawImage(LiveAssets.Textures[4], {1, 1, 1, 1}, 0, 0, 800, 600);
  } else if (number >= 0 && Present(OverlayOpacitySlot)) {
    // A NaN opacity would leave the blend undefined, so an absent slot 7 draws no picture.
    DrawImageAdditive(LiveAssets.Textures[number], {1, 1, 1, Value(OverlayOpacitySlot)}, 325, 75, 475, 475);
  }
}

// The flash, the overlay picture and the letterbox bars over everything.
void DrawFlashAndOverlay() {
  Begin2D();
  const float flash = FlashLimiter.Opacity(Value(FlashSlot), LivePacketSeconds);
  if (flash > 0) DrawRectAdditive({1, 1, 1, flash}, 0, 0, 800, 600);
  if (Present(OverlayPictureSlot)) DrawOverlayPicture();
  End2D();
  DrawLetterboxBars(1.0f);
}
}  // namespace

int OverlayPictureNumber(float s6) {
  // Rounded in float first, so a huge or infinite value is refused before any conversion.
  const float nearest = std::nearbyint(s6);
  if (!(nearest >= 0.0f && nearest <= 4.0f)) return -1;
  return static_cast<int>(nearest);
}

void DrawLiveFrame() {
  ReseedRandomFromClock();
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  if (Present(FeedbackSlot)) DrawLayer([] { DrawFeedbackLayer(Value(FeedbackSlot)); });
  // Ends with a cleared screen: the feedback result survives only in live texture 4.
  DrawLayer(DrawBackgroundLayer);
  if (Present(SwarmTrailSlot)) DrawLayer([] { DrawSwarmTrail(Value(SwarmTrailSlot)); });
  if (Present(CrowdSlot)) DrawLayer(DrawRingAndCrowd);
  if (Present(WarpSlot)) DrawLayer([] { DrawWarpCopies(Value(WarpSlot)); });
  if (Present(PillarSlot)) DrawLayer(DrawRingsAndPillars);
  if (Present(SwarmSlot)) DrawLayer([] { DrawSwarm(Value(SwarmSlot)); });
  if (Present(RingSlot)) DrawLayer(DrawRing);
  if (Present(BackgroundSlot)) DrawLayer([] { DrawWarpedBackground(Value(BackgroundSlot)); });
  DrawLayer(DrawFlashAndOverlay);
  PresentFrame(MainWindow);
  PollKeyboard();
}
