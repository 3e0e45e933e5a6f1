// TInterpol: a smooth cubic curve through random control points, and the shared wandering path.
#pragma once
#include <vector>

#include "render/Types.h"

class TInterpol {
 public:
  // count random points, each coordinate (Random - Random) * spread, in the order x, y, z.
  void Fill(int count, float spread);
  // The curve at parameter t: through Points[i] at t = i.
  Vector3 Evaluate(float t) const;
  std::vector<Vector3> Points;
};

// Filled during loading with 500 points of spread 500.
extern TInterpol RandomPointField;

// The path position for the current ShowTime (repeats every 20 s), times scale / 100.
Vector3 WanderOffset(float scale);
