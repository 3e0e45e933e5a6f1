// Point-burst scene (scene 14): white points of the random cloud, 10,000 more every second of the
// scene.
#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "render/RenderState.h"
#include "scenes/RandomPoints.h"
#include "scenes/Scenes.h"
#include "timeline/BeatClock.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

namespace {
int64_t BurstLastIndex() { return LastPointIndex(static_cast<long double>(SceneTime) * 10000); }
}  // namespace

void AdvancePointBurstScene() { SkipRandom(PointDraws(BurstLastIndex())); }

void DrawPointBurstScene() {
  StartSceneState();
  glClear(GL_DEPTH_BUFFER_BIT);
  LookAtPointField();
  SetPlainColour({1, 1, 1, 1});
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  // Once the star field is out its points are round, and so are the burst's from then on.
  DrawRandomPoints(BurstLastIndex(), 3.0f * DrawingScale(), ShowTime > StarFieldStartTime);
  glLoadIdentity();
}
