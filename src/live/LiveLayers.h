// The warp grid and the picture layers of the live frame.
#pragma once
#include <cstdint>

#include "live/LiveAssets.h"
#include "live/LiveBeat.h"

// Which background pictures (1 to 6) the background layer warps; redrawn on the beat's waves.
struct LiveBackgroundState {
  int32_t PictureA = 1;
  int32_t PictureB = 4;
};
extern LiveBackgroundState LiveBackground;

// The background picture for a draw of Random: the integer nearest to draw * 5 (halves to
// even) plus 1, always within 1 to 6.
int32_t PickBackgroundPicture(float draw);

// Every point [i][j] back to (i / (Rows - 1), j / (Columns - 1)).
void ResetWarpGrid(WarpGrid& grid);
// The grid as one quad per cell over the screen rectangle, rows along x; texture, colour and
// blending are the caller's. Leaves lighting and the depth test on, texturing on, perspective.
void DrawWarpGrid(const WarpGrid& grid, float x, float y, float w, float h);
// Resets the grid, pushes its points by waves of amplitude and phase (divisor sets how fast
// they change across the grid) and draws it over the whole screen.
void WarpPass(WarpGrid& grid, float amplitude, float phase, float divisor);

// Warps two background pictures into LiveAssets.BackgroundCapture; leaves the screen cleared.
void DrawBackgroundLayer();
// LiveAssets.BackgroundCapture stretched over the screen, added with this opacity.
void DrawWarpedBackground(float opacity);
// The warp picture fed back through LiveAssets.LayerCapture, six ever larger additive copies; clears first.
void DrawWarpCopies(float tint);
// Black bars 75 pixels high at the bottom and top of the screen.
void DrawLetterboxBars(float opacity);
