// The render-state helpers leave exactly the GL state the drawers rely on.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/GL.h"
#include "render/RenderState.h"
#include "support/TestSupport.h"

namespace {
void ExpectColour(GLenum which, float r, float g, float b, float a) {
  GLfloat value[4];
  if (which == GL_CURRENT_COLOR)
    glGetFloatv(GL_CURRENT_COLOR, value);
  else
    glGetMaterialfv(GL_FRONT, which, value);
  EXPECT_FLOAT_EQ(value[0], r);
  EXPECT_FLOAT_EQ(value[1], g);
  EXPECT_FLOAT_EQ(value[2], b);
  EXPECT_FLOAT_EQ(value[3], a);
}

void ExpectDefaultMaterial() {
  ExpectColour(GL_AMBIENT, 0.2f, 0.2f, 0.2f, 1);
  ExpectColour(GL_DIFFUSE, 0.8f, 0.8f, 0.8f, 1);
  ExpectColour(GL_SPECULAR, 0, 0, 0, 1);
  ExpectColour(GL_EMISSION, 0, 0, 0, 1);
  GLfloat shininess = -1;
  glGetMaterialfv(GL_BACK, GL_SHININESS, &shininess);
  EXPECT_EQ(shininess, 0.0f);
}

GLint BlendFunc(GLenum which) {
  GLint value = 0;
  glGetIntegerv(which, &value);
  return value;
}

class RenderStateTest : public testing::Test {
 protected:
  void SetUp() override { EnsureGLContext(); }
};
}  // namespace

TEST_F(RenderStateTest, ResetSurfaceStateLeavesWhiteUntexturedDefaultMaterial) {
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  const GLfloat red[4] = {1, 0, 0, 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, red);

  ResetSurfaceState();

  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
  ExpectColour(GL_CURRENT_COLOR, 1, 1, 1, 1);
  ExpectDefaultMaterial();
}

TEST_F(RenderStateTest, SetPlainColourSetsDiffuseAndCurrentColourWithBlendingOff) {
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  SetPlainColour({0.25f, 0.5f, 0.75f, 0.5f});
  EXPECT_FALSE(glIsEnabled(GL_BLEND));  // so an alpha below 1 has no visible effect
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  ExpectColour(GL_DIFFUSE, 0.25f, 0.5f, 0.75f, 0.5f);
  ExpectColour(GL_AMBIENT, 0, 0, 0, 1);
  ExpectColour(GL_CURRENT_COLOR, 0.25f, 0.5f, 0.75f, 0.5f);
}

TEST_F(RenderStateTest, BlendPresetsSetTheirFunctions) {
  struct Case {
    void (*preset)();
    GLint source, destination;
  } cases[] = {{SetBlendAdd, GL_ONE, GL_ONE},
               {SetBlendAlphaAdd, GL_SRC_ALPHA, GL_ONE},
               {SetBlendAlpha, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}};
  for (const Case& c : cases) {
    glDisable(GL_BLEND);
    c.preset();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(BlendFunc(GL_BLEND_SRC), c.source);
    EXPECT_EQ(BlendFunc(GL_BLEND_DST), c.destination);
  }
}

TEST_F(RenderStateTest, SphereMapSwitchesGenerationOnlyAndTheModeIsSphereMap) {
  EnableSphereMap();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
  GLint mode = 0;
  glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
  EXPECT_EQ(mode, GL_SPHERE_MAP);
  glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
  EXPECT_EQ(mode, GL_SPHERE_MAP);
  DisableSphereMap();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
}

TEST_F(RenderStateTest, BeginFrameClearsAndLoadsIdentityModelview) {
  glClearColor(0, 1, 0, 1);
  glMatrixMode(GL_PROJECTION);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(3, 4, 5);
  glMatrixMode(GL_PROJECTION);
  BeginFrame();
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);
  const Pixel p = ReadPixel(400, 300);
  EXPECT_EQ(p.g, 255);
  EXPECT_EQ(p.r, 0);
}

TEST(FloatingPoint, DivisionByZeroGivesInfinityNotATrap) {
  volatile float zero = 0.0f;
  EXPECT_TRUE(std::isinf(1.0f / zero));
  EXPECT_TRUE(std::isnan(zero / zero));
}
