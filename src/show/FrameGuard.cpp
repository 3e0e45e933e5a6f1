// Gentle mode's frame flash guard: read back, blend weight from the flash counter, blend drawn over.
#include "show/FrameGuard.h"

#include <cstdint>
#include <vector>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/RenderState.h"
#include "timeline/FlashGuard.h"
#include "timeline/GentleFlashes.h"
#include "timeline/ShowClock.h"

namespace {
// A gap longer than this between guarded frames is a new start rather than the next frame.
constexpr double LongestFrameSeconds = 0.5;

FlashGuard Guard;
std::vector<uint8_t> LastShown;  // RGBA rows, bottom up, as glReadPixels gives them
std::vector<uint8_t> Drawn;
long SoftenedFrames = 0;

void DrawOver(const std::vector<uint8_t>& pixels) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  PushIdentityMatrices();
  glViewport(0, 0, ShowFrameWidth(), ShowFrameHeight());
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DITHER);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPixelZoom(1, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glRasterPos2f(-1, -1);
  glDrawPixels(ShowFrameWidth(), ShowFrameHeight(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  PopIdentityMatrices();
  glPopClientAttrib();
  glPopAttrib();
}
}  // namespace

void GuardShowFrame() {
  if (!GentleMode) return;
  const double time = ShowTime;
  // The same time twice is a frame drawn before the music clock moved on (on screen it can), not
  // a new start.
  if (Guard.Started() && !(time >= Guard.LastTime() && time - Guard.LastTime() <= LongestFrameSeconds))
    Guard.Reset();
  const size_t bytes = static_cast<size_t>(ShowFrameWidth()) * ShowFrameHeight() * 4;
  // A frame of another size (the player's window resized) is judged afresh.
  if (Guard.Started() && LastShown.size() != bytes) Guard.Reset();
  Drawn.resize(bytes);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadPixels(0, 0, ShowFrameWidth(), ShowFrameHeight(), GL_RGBA, GL_UNSIGNED_BYTE, Drawn.data());
  glPopClientAttrib();

  const CellMeasures drawn = MeasureFrame(Drawn.data(), ShowFrameWidth(), ShowFrameHeight());
  const int weight = Guard.Choose(time, drawn, [](int w) {
    return MeasureBlend(LastShown.data(), Drawn.data(), w, ShowFrameWidth(), ShowFrameHeight());
  });
  if (weight == BlendWhole) {
    Guard.Shown(time, drawn);
    LastShown.swap(Drawn);
    return;
  }
  BlendFrames(LastShown.data(), Drawn.data(), weight, LastShown.data(), bytes);
  // Colours only: the frame's alpha stays as the drawing left it.
  for (size_t i = 3; i < bytes; i += 4) LastShown[i] = Drawn[i];
  DrawOver(LastShown);
  Guard.Shown(time, MeasureFrame(LastShown.data(), ShowFrameWidth(), ShowFrameHeight()));
  ++SoftenedFrames;
}

void ResetFrameGuard() { Guard.Reset(); }

long GuardedFrameCount() { return SoftenedFrames; }
