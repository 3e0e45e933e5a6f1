// The light-cone scene: the drawn frame and its after-state, models with too few meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "SceneLoading.h"
#include "platform/GL.h"
#include "render/Brush.h"
#include "render/Write3DS.h"
#include "scenes/LightConeScene.h"
#include "scenes/Scenes.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {
// A model file holding one triangle mesh: a single upright triangle (z up, as models are made).
std::vector<uint8_t> OneMeshModel() {
  using namespace Write3DS;
  const Node mesh = TriMesh({VertexList({{-50, 0, -50}, {50, 0, -50}, {0, 0, 50}}),
                             TexCoordList({{0, 0}, {1, 0}, {0.5f, 1}}), FaceList({{0, 1, 2}})});
  return Bytes(Node{0x4D4D, {}, {Node{0x3D3D, {}, {Object("cone", {mesh})}}}});
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
