// The star field: the random point cloud, growing by 3000 points a second from 160 s.
#include "show/StarField.h"

#include <algorithm>
#include <cstdint>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/RenderState.h"
#include "scenes/RandomPoints.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
// -1 (no points) at or below 160 s. The field stops growing at the show's length: the live mode's
// clock runs on for hours, and past 207 s the field lies under the ending's black anyway.
int64_t StarFieldLastIndex() {
  if (!(ShowTime > StarFieldStartTime)) return -1;
  const long double elapsed =
      static_cast<long double>(std::min(ShowTime, ShowLength)) - StarFieldStartTime;
  return LastPointIndex(elapsed * 3000);
}
}  // namespace

void DrawStarField(bool ending, bool hidden) {
  const int64_t lastIndex = StarFieldLastIndex();
  if (lastIndex < 0) return;
  glLoadIdentity();
  // In the ending the stars must show over the black fade quad, so depth is cleared instead.
  if (ending)
    glClear(GL_DEPTH_BUFFER_BIT);
  else
    glDisable(GL_DEPTH_TEST);
  LookAtPointField();
  SetPlainColour({1, 1, 1, 1});
  glDisable(GL_LIGHTING);
  if (!ending) glDisable(GL_FOG);
  // Hidden stars are not sent at all (141,001 of them at the end), only their draws skipped.
  if (hidden)
    SkipRandom(PointDraws(lastIndex));
  else
    // Sizes in pixels follow the drawing size, so a frame drawn smaller and scaled up keeps its
    // stars.
    DrawRandomPoints(lastIndex, 1.5f * DrawingScale(), true);
  glLoadIdentity();
  if (!ending) glEnable(GL_DEPTH_TEST);
}

void AdvanceStarField() { SkipRandom(PointDraws(StarFieldLastIndex())); }
