// The live frame: which layer each stream slot switches on, in drawing order.
#include "live/LiveFrame.h"

#include <algorithm>
#include <cmath>

#include "live/LiveAssets.h"
#include "live/LiveLayers.h"
#include "live/LiveMeshLayers.h"
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
// The slot map: what each of the first eleven stream slots drives.
enum Slot {
  FlashSlot = 0,           // flash opacity when above 0
  BackgroundShowSlot = 1,  // opacity of the warped background pictures
  SwarmFeedbackSlot = 2,   // swarm fed back, its strength
  CrowdSlot = 3,           // ring fed back and the crowd (value unused)
  WarpSlot = 4,            // warp picture, its tint
  PillarSlot = 5,          // rings and pillar field (value unused)
  OverlayPictureSlot = 6,  // overlay picture number 0 to 4
  OverlayOpacitySlot = 7,  // its opacity (pictures 0 to 3)
  SwarmSlot = 8,           // plain swarm, its field of view
  RingSlot = 9,            // plain ring (value unused)
  FeedbackSlot = 10,       // feedback picture into live texture 4, its position and swirl
};

constexpr int FeedbackSize = 512;

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
  BeginRenderToTexture(FeedbackSize);
  Begin2D();
  DrawPicture(LiveTextures[2], 325.0f * s10, 75, 475, 475);
  End2D();
  EndRenderToTexture(LiveTextures[4], FeedbackSize);
  ZoomRotateFeedback(FeedbackSize, LiveTextures[4], 4, 50.0f - 50.0f * s10, 120.0f - 120.0f * s10, 3);
}

void DrawOverlayPicture() {
  const int number = OverlayPictureNumber(Value(OverlayPictureSlot));
  if (number == 4) {
    DrawImage(LiveTextures[4], {1, 1, 1, 1}, 0, 0, 800, 600);
  } else if (number >= 0 && Present(OverlayOpacitySlot)) {
    // A NaN opacity would leave the blend undefined, so an absent slot 7 draws no picture.
    DrawImageAdditive(LiveTextures[number], {1, 1, 1, Value(OverlayOpacitySlot)}, 325, 75, 475, 475);
  }
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
  if (Present(FeedbackSlot)) DrawFeedbackLayer(Value(FeedbackSlot));
  // Ends with a cleared screen: the feedback result survives only in live texture 4.
  DrawBackgroundLayer();
  if (Present(SwarmFeedbackSlot)) DrawSlot2Layer(Value(SwarmFeedbackSlot));
  if (Present(CrowdSlot)) DrawSlot3Layer(Value(CrowdSlot));
  if (Present(WarpSlot)) DrawSlot4Layer(Value(WarpSlot));
  if (Present(PillarSlot)) DrawSlot5Layer();
  if (Present(SwarmSlot)) DrawSlot8Layer(Value(SwarmSlot));
  if (Present(RingSlot)) DrawSlot9Layer();
  if (Present(BackgroundShowSlot)) DrawSlot1Layer(Value(BackgroundShowSlot));
  Begin2D();
  const float flash = FlashLimiter.Opacity(Value(FlashSlot), LivePacketSeconds);
  if (flash > 0) DrawRectAdditive({1, 1, 1, flash}, 0, 0, 800, 600);
  if (Present(OverlayPictureSlot)) DrawOverlayPicture();
  End2D();
  DrawLetterboxBars(1.0f);
  PresentFrame(MainWindow);
  PollKeyboard();
}
