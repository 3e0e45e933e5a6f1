// The cloth's hit surface grid: 101 rows (x) by 126 columns (y) of heights.
#pragma once
#include <vector>

namespace datagen {

inline constexpr int HitRows = 101;
inline constexpr int HitColumns = 126;
// How far above the sculpture the cloth is stopped.
inline constexpr float HitClearance = 0.15f;

// Row-major heights, each the surface's z + 15 at x = (row - 50) / 5, y = column / 5.
std::vector<float> HitHeights();

}  // namespace datagen
