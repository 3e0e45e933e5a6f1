// The live mode's assets: its texture table, pictures, capture textures, warp grids and brushes.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "render/Brush.h"
#include "render/Effects.h"
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

// Entries 0 to 3 are pictures; entry 4 is the texture the feedback layer copies into (Feedback).
inline constexpr int LiveTextureCount = 5;
// The side of the two capture textures the layers render into, in pixels of the 800 x 600
// design (drawn at the drawing scale).
inline constexpr int LiveCaptureSize = 256;
// The side of live texture 4, which the feedback layer renders into, likewise.
inline constexpr int LiveFeedbackSize = 512;

// Everything the live layers draw with, made once by CreateLiveAssets.
struct LiveAssetSet {
  std::array<TextureId, LiveTextureCount> Textures{NoTexture, NoTexture, NoTexture, NoTexture, NoTexture};
  // Background pictures 1 to 6 (entry 0 is unused and holds the blank picture).
  std::array<TextureId, 7> Backgrounds{NoTexture, NoTexture, NoTexture, NoTexture,
                                       NoTexture, NoTexture, NoTexture};
  RenderTexture Feedback{LiveFeedbackSize};           // live texture 4
  RenderTexture BackgroundCapture{LiveCaptureSize};  // written by the background layer
  RenderTexture LayerCapture{LiveCaptureSize};       // shared by the warp and mesh layers
  TextureId WarpPicture = NoTexture;
  TextureId SwarmPicture = NoTexture;
  TextureId RingPicture = NoTexture;
  TextureId PillarPicture = NoTexture;
  TextureId GlowPicture = NoTexture;
  WarpGrid BackgroundGrid;
  WarpGrid LayerGrid;
  TOrvBrush SwarmBrush;
  TOrvBrush CrowdBrush;
  TOrvBrush RingBrush;
  TOrvBrush PillarBrush;
};
extern LiveAssetSet LiveAssets;

// Loads and creates every live asset once (later calls do nothing). A picture that cannot be
// loaded becomes a small black texture and a model that cannot be read an empty brush, so every
// layer always has what it draws with.
void CreateLiveAssets();
// Whether CreateLiveAssets has run.
bool LiveAssetsCreated();
