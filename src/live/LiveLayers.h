// The live beat, the warp grid and the picture layers of the live frame.
#pragma once
#include <cstdint>

#include "live/LiveAssets.h"

inline constexpr float LiveBpm = 157.0f;
// Seconds since the last beat trigger, and the trigger itself (lowered by the layer using it).
extern float LiveBeatTimer;
extern bool LiveBeatFlag;
// Which background pictures (1 to 6) the background layer warps.
extern int32_t BackgroundPictureA;
extern int32_t BackgroundPictureB;

// sin(ShowTime * k * 2 pi * LiveBpm / 60): k periods a beat.
float LiveWave(float k);
// Adds FrameDelta to the beat timer once per reading of the clock (ShowTime, which the live
// mode's timer sets); past one beat raises LiveBeatFlag and takes the whole beats off.
void AdvanceLiveBeat();
// The beat timer at 0, the trigger lowered, no clock reading taken yet.
void ResetLiveBeat();
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

// Warps two background pictures into BackgroundCapture; leaves the screen cleared.
void DrawBackgroundLayer();
// BackgroundCapture stretched over the screen, added with opacity s1.
void DrawSlot1Layer(float s1);
// The warp picture fed back through LayerCapture, six ever larger additive copies; clears first.
void DrawSlot4Layer(float s4);
// Black bars 75 pixels high at the bottom and top of the screen.
void DrawLetterboxBars(float opacity);
