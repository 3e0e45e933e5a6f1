// The random point cloud of the point burst and the star field.
#include "scenes/RandomPoints.h"

#include <algorithm>
#include <cmath>

#include "platform/GL.h"
#include "render/PointBatch.h"
#include "render/RenderState.h"
#include "render/VectorMath.h"
#include "timeline/Random.h"

namespace {
// The points of both clouds, refilled every frame: each frame draws new positions.
PointBatch Points;
}  // namespace

int64_t LastPointIndex(long double n) {
  if (!(n >= 0)) return -1;
  return static_cast<int64_t>(std::nearbyint(std::min(n, 1.0e12L)));
}

uint64_t PointDraws(int64_t lastIndex) {
  return lastIndex < 0 ? 0 : 3 * (static_cast<uint64_t>(lastIndex) + 1);
}

void LookAtPointField() {
  LookAt({4, 0, 0}, {0, 0, 0}, {0, 1, 0});
  glTranslatef(0, 50, 50);
}

// Round points (the stars, and the burst once the stars are out) light the pixels a smoothed point
// drawn without blending lights, at a fraction of the cost.
void DrawRandomPoints(int64_t lastIndex, float size, bool round) {
  if (DrawingUnseen()) {
    SkipRandom(PointDraws(lastIndex));
    return;
  }
  const size_t count = lastIndex < 0 ? 0 : static_cast<size_t>(lastIndex) + 1;
  float* const positions = Points.Resize(count);
  // A dense cloud (the stars) is made by two threads, each share from the seed its draws start
  // at: the same points as if drawn one after the other.
  const uint32_t start = RandomSeed;
  SplitDenseWork(count, [positions, start](size_t first, size_t last) {
    uint32_t seed = SeedAfter(start, 3 * static_cast<uint64_t>(first));
    for (size_t i = first; i < last; ++i) {
      const float z = RandomFrom(seed) * 100 - 100;
      const float y = RandomFrom(seed) * 100 - 100;
      const float x = RandomFrom(seed) * 100 - 100;
      positions[3 * i] = x;
      positions[3 * i + 1] = y;
      positions[3 * i + 2] = z;
    }
  });
  SkipRandom(PointDraws(lastIndex));
  if (round) {
    Points.DrawRound(SmoothedPointRadius(size));
    return;
  }
  // GL draws square points a whole number of pixels wide: a size between two (the burst's 3 pixels
  // at a drawing scale of 1.8 are 5.4) is set in the mask instead, so that the points cover the
  // same share of the picture at every size.
  if (size != std::nearbyint(size)) {
    Points.DrawSquares(size);
    return;
  }
  glPointSize(size);
  Points.Draw();
}
