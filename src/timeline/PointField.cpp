// The random point field: a cubic path through random control points, wandered along by ShowTime.
#include "timeline/PointField.h"

#include <cmath>
#include <cstddef>

#include "render/VectorMath.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

TInterpol RandomPointField;

namespace {
// One coordinate of the curve between p1 (f = 0) and p2 (f = 1).
float CurveCoordinate(float p0, float p1, float p2, float p3, float f) {
  const float a0 = static_cast<float>(static_cast<long double>(p3) - p2 - p0 + p1);
  const float a1 = static_cast<float>(static_cast<long double>(p0) - p1 - a0);
  const float a2 = static_cast<float>(static_cast<long double>(p2) - p0);
  const long double t = f;
  return static_cast<float>(a0 * t * t * t + a1 * t * t + a2 * t + p1);
}

// Reached at most once per 20 s in the show; anything larger is reduced in one step so that a
// huge or infinite ShowTime (the live mode runs without end) cannot stall the wrap loop.
constexpr float DirectWrapLimit = 1.0e6f;
}  // namespace

void TInterpol::Fill(int count, float spread) {
  Points.assign(count > 0 ? static_cast<std::size_t>(count) : 0, Vector3{});
  for (Vector3& point : Points) RandomVector(point, spread, spread, spread);
}

Vector3 TInterpol::Evaluate(float t) const {
  if (Points.empty()) return {};
  // Indices before the first point read the first and past the last read the last, so the curve
  // starts and ends flat instead of reading outside the array.
  const long long last = static_cast<long long>(Points.size()) - 1;
  const float position = std::isfinite(t) ? t : 0.0f;
  long long i = 0;
  float f = 0;
  if (position > static_cast<float>(last)) {
    i = last;
  } else if (position > 0.0f) {
    i = static_cast<long long>(position);
    f = position - static_cast<float>(i);
  }
  auto at = [&](long long index) -> const Vector3& {
    return Points[static_cast<std::size_t>(index < 0 ? 0 : index > last ? last : index)];
  };
  const Vector3& p0 = at(i - 1);
  const Vector3& p1 = at(i);
  const Vector3& p2 = at(i + 1);
  const Vector3& p3 = at(i + 2);
  return {CurveCoordinate(p0.x, p1.x, p2.x, p3.x, f), CurveCoordinate(p0.y, p1.y, p2.y, p3.y, f),
          CurveCoordinate(p0.z, p1.z, p2.z, p3.z, f)};
}

Vector3 WanderOffset(float scale) {
  float u = ShowTime;
  if (u > DirectWrapLimit) {
    u = std::fmod(u, 20.0f);
    if (u == 0) u = 20.0f;
  }
  while (u > 20.0f) u = u - 20.0f;
  const Vector3 p = RandomPointField.Evaluate(u * 20.0f);
  const long double s = scale;
  return {static_cast<float>(p.x * s / 100), static_cast<float>(p.y * s / 100),
          static_cast<float>(p.z * s / 100)};
}
