// Creating the live assets from the data set's "live_*" files when the live mode starts.
#include "live/LiveAssets.h"

#include <string>

#include "platform/GL.h"
#include "render/Effects.h"
#include "render/File3DS.h"
#include "render/Texture.h"

LiveAssetSet LiveAssets;

namespace {
bool Created = false;
TextureId BlankPicture = NoTexture;

// Black, so that a missing picture adds nothing and covers with black.
TextureId MakeBlankPicture() {
  const std::vector<uint8_t> black(8 * 8 * 3, 0);
  return CreateTexture(8, 8, GL_RGB, black.data());
}

TextureId LoadPicture(const char* fileName) {
  const TextureId id = LoadTexture(fileName);
  return id == NoTexture ? BlankPicture : id;
}

WarpGrid MakeGrid(int32_t rows, int32_t columns) {
  WarpGrid grid;
  grid.Rows = rows;
  grid.Columns = columns;
  grid.S.assign(static_cast<size_t>(rows) * columns, 0.0f);
  grid.T.assign(static_cast<size_t>(rows) * columns, 0.0f);
  return grid;
}
}  // namespace

bool LiveAssetsCreated() { return Created; }

void CreateLiveAssets() {
  if (Created) return;
  Created = true;
  BlankPicture = MakeBlankPicture();
  LiveAssets.Textures[0] = LoadPicture("live_pic0.jpg");
  LiveAssets.Textures[1] = LoadPicture("live_pic1.bmp");
  LiveAssets.Textures[2] = LoadPicture("live_pic2.tga");
  LiveAssets.Textures[3] = LoadPicture("live_pic3.tga");
  CreateRenderTexture(LiveAssets.Feedback);
  LiveAssets.Textures[4] = LiveAssets.Feedback.texture;
  LiveAssets.Backgrounds[0] = BlankPicture;
  const char* const backgrounds[] = {"live_back1.jpg", "live_back2.jpg", "live_back3.jpg",
                                     "live_back4.jpg", "live_back5.bmp", "live_back6.tga"};
  for (int i = 0; i < 6; ++i) LiveAssets.Backgrounds[i + 1] = LoadPicture(backgrounds[i]);
  CreateRenderTexture(LiveAssets.BackgroundCapture);
  CreateRenderTexture(LiveAssets.LayerCapture);
  LiveAssets.WarpPicture = LoadPicture("live_warp.jpg");
  LiveAssets.SwarmPicture = LoadPicture("live_swarm.jpg");
  LiveAssets.RingPicture = LoadPicture("live_ring.jpg");
  LiveAssets.PillarPicture = LoadPicture("live_pillar.tga");
  LiveAssets.GlowPicture = LoadPicture("live_glow.jpg");
  LiveAssets.BackgroundGrid = MakeGrid(WarpGridSide, WarpGridSide);
  LiveAssets.LayerGrid = MakeGrid(WarpGridSide, WarpGridSide);
  LiveAssets.SwarmBrush.TryLoadFile("live_swarm.3ds");
  LiveAssets.CrowdBrush.TryLoadFile("live_crowd.3ds");
  LiveAssets.RingBrush.TryLoadFile("live_ring.3ds");
  LiveAssets.PillarBrush.TryLoadFile("live_pillar.3ds");
}
