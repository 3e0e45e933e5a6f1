// Warp grids and the picture layers: the warped background, the warp copies, letterbox bars.
#include "live/LiveLayers.h"

#include <algorithm>
#include <cmath>

#include "platform/GL.h"
#include "render/Effects.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

LiveBackgroundState LiveBackground;

int32_t PickBackgroundPicture(float draw) {
  // The clamp only matters for a draw outside [0, 1], which Random never gives.
  const float nearest = std::nearbyint(draw * 5.0f);
  return static_cast<int32_t>(std::clamp(nearest, 0.0f, 5.0f)) + 1;
}

void ResetWarpGrid(WarpGrid& grid) {
  for (int32_t i = 0; i < grid.Rows; ++i)
    for (int32_t j = 0; j < grid.Columns; ++j) {
      grid.s(i, j) = static_cast<float>(i) / static_cast<float>(grid.Rows - 1);
      grid.t(i, j) = static_cast<float>(j) / static_cast<float>(grid.Columns - 1);
    }
}

void DrawWarpGrid(const WarpGrid& grid, float x0, float y0, float w, float h) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  SetOrthoProjection();
  const float rowSpan = static_cast<float>(grid.Rows - 1);
  const float columnSpan = static_cast<float>(grid.Columns - 1);
  auto X = [&](int32_t i) { return x0 + static_cast<float>(i) / rowSpan * w; };
  auto Y = [&](int32_t j) { return y0 + static_cast<float>(j) / columnSpan * h; };
  for (int32_t i = 0; i + 1 < grid.Rows; ++i)
    for (int32_t j = 0; j + 1 < grid.Columns; ++j) {
      glBegin(GL_QUADS);
      glTexCoord2f(grid.s(i, j), grid.t(i, j));
      glVertex3f(X(i), Y(j), 0);
      glTexCoord2f(grid.s(i, j + 1), grid.t(i, j + 1));
      glVertex3f(X(i), Y(j + 1), 0);
      glTexCoord2f(grid.s(i + 1, j + 1), grid.t(i + 1, j + 1));
      glVertex3f(X(i + 1), Y(j + 1), 0);
      glTexCoord2f(grid.s(i + 1, j), grid.t(i + 1, j));
      glVertex3f(X(i + 1), Y(j), 0);
      glEnd();
    }
  RestorePerspective();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

void WarpPass(WarpGrid& grid, float amplitude, float phase, float divisor) {
  ResetWarpGrid(grid);
  const int32_t rows = std::min(grid.Rows, WarpGridSide);
  const int32_t columns = std::min(grid.Columns, WarpGridSide);
  for (int32_t i = 0; i < rows; ++i)
    for (int32_t j = 0; j < columns; ++j) {
      grid.s(i, j) += std::sin(2.1f * ShowTime + phase + static_cast<float>(j) / divisor) * 0.15f * amplitude;
      grid.t(i, j) += std::sin(3.3f * ShowTime + phase + static_cast<float>(i) / divisor) * 0.15f * amplitude;
    }
  Begin2D();
  DrawWarpGrid(grid, 0, 0, 800, 600);
  End2D();
}

void DrawBackgroundLayer() {
  ReseedRandomFromClock();
  if (LiveWave(2) > 0.92f) LiveBackground.PictureA = PickBackgroundPicture(Random());
  if (LiveWave(4) > 0.92f) LiveBackground.PictureB = PickBackgroundPicture(Random());
  DisableSphereMap();
  BeginRenderToTexture(LiveAssets.BackgroundCapture);
  // w^5 is near 0 for most of the beat: the pictures flow hard on the beat and rest between.
  const float w = std::max(0.0f, LiveWave(1));
  const float amplitude = 10.0f * std::pow(w, 5.0f);
  BindTexture(LiveAssets.Backgrounds[LiveBackground.PictureA]);
  WarpPass(LiveAssets.BackgroundGrid, amplitude, 1.44f, 13.0f);
  BindTexture(LiveAssets.Backgrounds[LiveBackground.PictureB]);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
  WarpPass(LiveAssets.BackgroundGrid, amplitude, 2.0f, 13.0f);
  EndRenderToTexture(LiveAssets.BackgroundCapture);
  BeginFrame();
}

void DrawWarpedBackground(float opacity) {
  DisableSphereMap();
  Begin2D();
  DrawImageAdditive(LiveAssets.BackgroundCapture.texture, {1, 1, 1, opacity}, 0, 0, 800, 600);
  End2D();
}

void DrawWarpCopies(float tint) {
  BeginRenderToTexture(LiveAssets.LayerCapture);
  BindTexture(LiveAssets.WarpPicture);
  // std::max turns a NaN wave into 0 as well as a negative one.
  const float w = std::max(0.0f, LiveWave(1));
  WarpPass(LiveAssets.LayerGrid, w + 0.5f, 0.0f, 3.0f);
  EndRenderToTexture(LiveAssets.LayerCapture);
  ZoomRotateFeedback(LiveAssets.LayerCapture, 4, 0.0f, LiveWave(4) * 25.0f + 50.0f, 4);
  BeginFrame();
  Begin2D();
  for (int k = 0; k < 6; ++k) {
    const float d = 4.0f * static_cast<float>(k);
    DrawImageAdditive(LiveAssets.LayerCapture.texture,
                      {1.0f + 0.5f * tint * std::sin(ShowTime), 1.0f + 0.5f * std::sin(2.0f * ShowTime), 1, 1},
                      -d, -d, 800 + 2 * d, 600 + 2 * d);
  }
  End2D();
}

void DrawLetterboxBars(float opacity) {
  Begin2D();
  DrawRect({0, 0, 0, opacity}, 0, 0, 800, 75);
  DrawRect({0, 0, 0, opacity}, 0, 525, 800, 75);
  End2D();
}
