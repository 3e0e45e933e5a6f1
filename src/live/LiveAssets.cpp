// Creating the live assets from the data set's "live_*" files when the live mode starts.
#include "live/LiveAssets.h"

#include <string>

#include "platform/GL.h"
#include "render/Effects.h"
#include "render/File3DS.h"
#include "render/Texture.h"

std::array<TextureId, LiveTextureCount> LiveTextures = {NoTexture, NoTexture, NoTexture, NoTexture,
                                                        NoTexture};
std::array<TextureId, 7> BackgroundPictures = {NoTexture, NoTexture, NoTexture, NoTexture,
                                               NoTexture, NoTexture, NoTexture};
TextureId BackgroundCapture = NoTexture;
TextureId LayerCapture = NoTexture;
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
  LiveTextures[0] = LoadPicture("live_pic0.jpg");
  LiveTextures[1] = LoadPicture("live_pic1.bmp");
  LiveTextures[2] = LoadPicture("live_pic2.tga");
  LiveTextures[3] = LoadPicture("live_pic3.tga");
  LiveTextures[4] = CreateRenderTexture(512);
  BackgroundPictures[0] = BlankPicture;
  const char* const backgrounds[] = {"live_back1.jpg", "live_back2.jpg", "live_back3.jpg",
                                     "live_back4.jpg", "live_back5.bmp", "live_back6.tga"};
  for (int i = 0; i < 6; ++i) BackgroundPictures[i + 1] = LoadPicture(backgrounds[i]);
  BackgroundCapture = CreateRenderTexture(256);
  LayerCapture = CreateRenderTexture(256);
  WarpPicture = LoadPicture("live_warp.jpg");
  SwarmPicture = LoadPicture("live_swarm.jpg");
  RingPicture = LoadPicture("live_ring.jpg");
  PillarPicture = LoadPicture("live_pillar.tga");
  GlowPicture = LoadPicture("live_glow.jpg");
  BackgroundGrid = MakeGrid(WarpGridSide, WarpGridSide);
  LayerGrid = MakeGrid(WarpGridSide, WarpGridSide);
  SwarmBrush.TryLoadFile("live_swarm.3ds");
  CrowdBrush.TryLoadFile("live_crowd.3ds");
  RingBrush.TryLoadFile("live_ring.3ds");
  PillarBrush.TryLoadFile("live_pillar.3ds");
}
