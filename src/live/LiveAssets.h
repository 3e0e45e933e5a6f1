// The live mode's assets: its texture table, pictures, capture textures, warp grids and brushes.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "render/Brush.h"
#include "render/Types.h"

// A grid of texture coordinates stretched over the screen; point [i][j] is row i, column j.
struct WarpGrid {
  int32_t Rows = 0;
  int32_t Columns = 0;
  std::vector<float> S;  // Rows * Columns, row-major
  std::vector<float> T;
  float& s(int32_t i, int32_t j) { return S[static_cast<size_t>(i) * Columns + j]; }
  float& t(int32_t i, int32_t j) { return T[static_cast<size_t>(i) * Columns + j]; }
  float s(int32_t i, int32_t j) const { return S[static_cast<size_t>(i) * Columns + j]; }
  float t(int32_t i, int32_t j) const { return T[static_cast<size_t>(i) * Columns + j]; }
};
// The warp passes move the points with i and j below this, so grids have at least this many.
inline constexpr int32_t WarpGridSide = 40;

// Entries 0 to 3 are pictures; entry 4 is the 512 x 512 texture the feedback layer copies into.
inline constexpr int LiveTextureCount = 5;
extern std::array<TextureId, LiveTextureCount> LiveTextures;
// Background pictures 1 to 6 (entry 0 is unused and holds the blank picture).
extern std::array<TextureId, 7> BackgroundPictures;
extern TextureId BackgroundCapture;  // 256 x 256: written by the background layer
extern TextureId LayerCapture;       // 256 x 256: shared by the warp and mesh layers
extern TextureId WarpPicture;
extern TextureId SwarmPicture;
extern TextureId RingPicture;
extern TextureId PillarPicture;
extern TextureId GlowPicture;
extern WarpGrid BackgroundGrid;
extern WarpGrid LayerGrid;
extern TOrvBrush SwarmBrush;
extern TOrvBrush CrowdBrush;
extern TOrvBrush RingBrush;
extern TOrvBrush PillarBrush;

// Loads and creates every live asset once (later calls do nothing). A picture that cannot be
// loaded becomes a small black texture and a model that cannot be read an empty brush, so every
// layer always has what it draws with.
void CreateLiveAssets();
// Whether CreateLiveAssets has run.
bool LiveAssetsCreated();
