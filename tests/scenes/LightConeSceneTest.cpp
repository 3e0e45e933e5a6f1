// The light-cone scene: the drawn frame and its after-state, models with too few meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "SceneLoading.h"
#include "platform/GL.h"
#include "render/Brush.h"
#include "scenes/LightConeScene.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {
// A model file holding one triangle mesh: a single upright triangle (z up, as models are made).
std::vector<uint8_t> OneMeshModel() {
  std::vector<uint8_t> out;
  auto u16 = [&](uint16_t v) { out.push_back(v & 0xFF), out.push_back(v >> 8); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto f32 = [&](float f) { uint32_t v; std::memcpy(&v, &f, 4); u32(v); };
  // Chunk lengths include the 6-byte header: vertices 6+2+36, texcoords 6+2+24, faces 6+2+8.
  const uint32_t vertices = 44, texCoords = 32, faces = 16;
  const uint32_t mesh = 6 + vertices + texCoords + faces, object = 6 + 5 + mesh;
  const uint32_t editor = 6 + object, root = 6 + editor;
  u16(0x4D4D), u32(root);
  u16(0x3D3D), u32(editor);
  u16(0x4000), u32(object);
  for (char c : {'c', 'o', 'n', 'e', '\0'}) out.push_back(static_cast<uint8_t>(c));
  u16(0x4100), u32(mesh);
  u16(0x4110), u32(vertices), u16(3);
  for (float v : {-50.0f, 0.0f, -50.0f, 50.0f, 0.0f, -50.0f, 0.0f, 0.0f, 50.0f}) f32(v);
  u16(0x4140), u32(texCoords), u16(3);
  for (float v : {0.0f, 0.0f, 1.0f, 0.0f, 0.5f, 1.0f}) f32(v);
  u16(0x4120), u32(faces), u16(1), u16(0), u16(1), u16(2), u16(0);
  return out;
}

using LightConeSceneFrame = SceneFrameTest<LoadLightConeScene>;
}  // namespace

TEST(LightConeValues, ConeColoursAndGlowsSwingAtTheirRates) {
  // Red 0.4 + 0.2 sin(3 (ring + cone) + 3t); green and blue fixed.
  const ColorRGBA first = LightConeColour(0, 0, 0.0f);
  EXPECT_FLOAT_EQ(first.r, 0.4f);
  EXPECT_EQ(first.g, 0.5f);
  EXPECT_EQ(first.b, 0.9f);
  EXPECT_EQ(first.a, 1.0f);
  EXPECT_NEAR(LightConeColour(1, 2, 0.5f).r, 0.4 + 0.2 * std::sin(9 + 1.5), 1e-5);
  EXPECT_NEAR(LightConeColour(2, 1, 0.5f).r, 0.4 + 0.2 * std::sin(9 + 1.5), 1e-5);
  EXPECT_NEAR(LightConeColour(11, 5, 27.0f).r, 0.4 + 0.2 * std::sin(48 + 81), 1e-5);
  // Glow half size 60 + 60 cos(ring + 12t): ring 0 starts full and has shrunk to nothing a
  // twelfth of pi seconds later; later rings start further along.
  EXPECT_FLOAT_EQ(LightConeGlowSize(0, 0.0f), 120.0f);
  EXPECT_NEAR(LightConeGlowSize(0, static_cast<float>(M_PI / 12)), 0.0f, 1e-4);
  EXPECT_NEAR(LightConeGlowSize(3, 0.0f), 60 + 60 * std::cos(3), 1e-4);
  EXPECT_NEAR(LightConeGlowSize(7, 0.25f), 60 + 60 * std::cos(10), 1e-4);
  EXPECT_NEAR(LightConeGlowSize(11, 27.0f), 60 + 60 * std::cos(11 + 324), 1e-3);
}

TEST_F(LightConeSceneFrame, FrameCoversTheWindowAndLeavesTheLightOn) {
  ShowTime = 27.0f;
  GLint depthBefore = 0, depthAfter = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  DrawLightConeScene();
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
  EXPECT_EQ(depthAfter, depthBefore);
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLboolean depthWrites = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_TRUE(depthWrites);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  // The last glow drawn is that of cone 5 of ring 11, lit with that cone's colour.
  GLfloat diffuse[4] = {};
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
  EXPECT_NEAR(diffuse[0], 0.4 + 0.2 * std::sin(3 * (11 + 5) + 3 * 27.0), 1e-5);
  EXPECT_FLOAT_EQ(diffuse[1], 0.5f);
  EXPECT_FLOAT_EQ(diffuse[2], 0.9f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The backdrop fills the window: no corner is left at the clear colour.
  for (const auto& [x, y] : {std::pair{2, 2}, {797, 2}, {2, 597}, {797, 597}}) {
    const Pixel p = ReadPixel(x, y);
    EXPECT_GT(p.r + p.g + p.b, 0) << x << ", " << y;
  }
}

TEST_F(LightConeSceneFrame, ModelWithOneMeshDrawsItAndMissingPicturesAreReported) {
  TempDir directory;
  WriteFile(directory.File("lightcone.3ds"), OneMeshModel());
  ASSERT_EQ(TOrvBrush(directory.File("lightcone.3ds")).MeshCount, 1);
  {
    MessageLog log;
    LoadSceneIn(directory.path, LoadLightConeScene);
    // Pictures loaded before come from the cache; the title is built afresh and reported.
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.back().second, "Couldn't load JPG - \"tivalen_ih.jpg\"");
  }
  ShowTime = 1.0f;
  DrawLightConeScene();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // A model that cannot be read at all leaves the rings with their glows alone.
  WriteFile(directory.File("lightcone.3ds"), {0x4D, 0x4D, 0x02});
  {
    MessageLog log;
    LoadSceneIn(directory.path, LoadLightConeScene);
  }
  DrawLightConeScene();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  MessageLog quiet;
  LoadSceneIn(GeneratedDataPath(""), LoadLightConeScene);
}
