// Render-to-texture, blur and feedback on real textures and frame buffer, and the fog switch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "ToolkitFixture.h"
#include "platform/ShowFrame.h"
#include "render/Effects.h"
#include "render/PointBatch.h"
#include "support/TestSupport.h"

namespace {
std::vector<uint8_t> TexturePixels(TextureId texture, int size) {
  std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// An opaque texture with a colour gradient, made through the frame buffer as the scenes do.
TextureId GradientTexture(int size) {
  const TextureId texture = CreateRenderTexture(size);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  BeginRenderToTexture(size);
  glClear(GL_COLOR_BUFFER_BIT);
  glBegin(GL_QUADS);
  glColor4f(1, 0, 0, 1); glVertex2f(-1, -1);
  glColor4f(0, 1, 0, 1); glVertex2f(1, -1);
  glColor4f(0, 0, 1, 1); glVertex2f(1, 1);
  glColor4f(1, 1, 1, 1); glVertex2f(-1, 1);
  glEnd();
  EndRenderToTexture(texture, size);
  return texture;
}

// Largest difference over all four channels. The frame has no destination alpha, so every copy
// of it into a texture reads alpha 1, as opaque as the picture it came from.
int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (size_t k = 0; k < a.size(); ++k) worst = std::max(worst, std::abs(a[k] - b[k]));
  return worst;
}

void ExpectFullViewport() {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
}

GLint Integer(GLenum which) {
  GLint value = 0;
  glGetIntegerv(which, &value);
  return value;
}
}  // namespace

using Effects = GLStateTest;

TEST_F(Effects, RenderTexturesStartBlackAndTakeTheCornerSquare) {
  const TextureId texture = CreateRenderTexture(128);
  EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_LINEAR);
  for (uint8_t value : TexturePixels(texture, 128)) ASSERT_EQ(value, 0);

  BeginRenderToTexture(128);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 128);
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  EndRenderToTexture(texture, 128);
  ExpectFullViewport();
  const auto pixels = TexturePixels(texture, 128);
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[pixels.size() - 4], 255);
  EXPECT_EQ(pixels[pixels.size() - 3], 0);

  // Ending a pass that drew nothing still gives the whole window back.
  BeginRenderToTexture(256);
  EndRenderToTexture(texture, 128);
  ExpectFullViewport();
  glDeleteTextures(1, &texture);
}

TEST_F(Effects, FeedbackWithoutMotionLeavesAnOpaqueTextureUnchanged) {
  const TextureId texture = GradientTexture(128);
  const auto before = TexturePixels(texture, 128);
  ZoomRotateFeedback(128, texture, 4, 0, 0, 1);
  EXPECT_LE(MaxDifference(TexturePixels(texture, 128), before), 3);
  // The copy back is opaque, so feeding the result back once more fades nothing either.
  ZoomRotateFeedback(128, texture, 1, 0, 0, 1);
  EXPECT_LE(MaxDifference(TexturePixels(texture, 128), before), 3);

  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  ExpectFullViewport();

  // With growth and rotation the copies spread outwards: the picture changes.
  ZoomRotateFeedback(128, texture, 4, 30, 40, 1);
  EXPECT_GT(MaxDifference(TexturePixels(texture, 128), before), 20);
  glDeleteTextures(1, &texture);
}

TEST_F(Effects, BlurSpreadsAlongTheCrossAndLeavesItsState) {
  const TextureId texture = CreateRenderTexture(128);
  BeginRenderToTexture(128);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  glRectf(-2.0f / 128, -2.0f / 128, 2.0f / 128, 2.0f / 128);  // a 2 x 2 texel spot at 63..64
  EndRenderToTexture(texture, 128);
  const auto before = TexturePixels(texture, 128);

  BlurTexture(128, texture, 0);
  EXPECT_EQ(TexturePixels(texture, 128), before);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_EQ(Integer(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(Integer(GL_BLEND_DST), GL_ONE);
  ExpectFullViewport();
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_FLOAT_EQ(projection[11], -1);  // a perspective projection

  BlurTexture(128, texture, 1);
  const auto after = TexturePixels(texture, 128);
  const auto red = [&](const std::vector<uint8_t>& p, int x, int y) { return p[(y * 128 + x) * 4]; };
  EXPECT_LT(red(after, 63, 63), red(before, 63, 63));
  EXPECT_GT(red(after, 65, 63), 0);  // beside the spot
  EXPECT_GT(red(after, 63, 65), 0);  // above it
  EXPECT_EQ(red(after, 72, 63), 0);  // well beyond the blur's reach
  EXPECT_EQ(red(after, 66, 66), 0);  // off the cross
  glDeleteTextures(1, &texture);
}

TEST_F(Effects, FogModeOutsideTheThreeKeepsTheCurrentOne) {
  EnableFog({0.1f, 0.2f, 0.3f, 1}, 2, 0.5f, 10, 20);
  EnableFog({0.4f, 0.5f, 0.6f, 1}, 3, 0.25f, 5, 50);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  EXPECT_EQ(Integer(GL_FOG_MODE), GL_EXP2);
  GLfloat value[4];
  glGetFloatv(GL_FOG_COLOR, value);
  EXPECT_FLOAT_EQ(value[1], 0.5f);
  glGetFloatv(GL_FOG_END, value);
  EXPECT_FLOAT_EQ(value[0], 50);
  DisableFog();
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

// When the player draws the frame smaller, every effect hands the rest of the frame back at the
// drawing size, not the whole frame's.
TEST_F(Effects, EffectsReturnToTheDrawingSizeOfAFrameDrawnSmaller) {
  SetDrawingScale(0.6f);
  const auto expectDrawingViewport = [](const char* after) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 480) << after;
    EXPECT_EQ(viewport[3], 360) << after;
  };
  expectDrawingViewport("setting the scale");
  const TextureId texture = CreateRenderTexture(128);
  BeginRenderToTexture(128);
  EndRenderToTexture(texture, 128);
  expectDrawingViewport("a render to texture");
  BlurTexture(128, texture, 1);
  expectDrawingViewport("a blur");
  ZoomRotateFeedback(128, texture, 2, 10, 4, 1);
  expectDrawingViewport("a feedback pass");
  SetDrawingScale(0.1f);
  expectDrawingViewport("a scale below the floor");  // held at 60 % a side
  SetDrawingScale(1.0f);
  ExpectFullViewport();
  glDeleteTextures(1, &texture);
}

// A render texture is a square of the 800 x 600 design: at twice the size it has twice the side,
// under the player's smaller drawing it shrinks with it (the same texture, made again black), and
// it never outgrows the frame's corner it is copied from.
TEST_F(Effects, RenderTexturesFollowTheDrawingScale) {
  RenderTexture glow{128};
  RenderTexture wide{1024};
  CreateRenderTexture(glow);
  CreateRenderTexture(wide);
  EXPECT_EQ(glow.side, 128);
  EXPECT_EQ(wide.side, 600) << "held to the drawing's height";
  const TextureId name = glow.texture;
  ASSERT_TRUE(CreateShowFrame(1600, 1200));
  EXPECT_EQ(FollowDrawingScale(glow), 256);
  EXPECT_EQ(glow.texture, name);
  GLint width = 0;
  glBindTexture(GL_TEXTURE_2D, glow.texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 256);
  // Rendered into, blurred and fed back at the new side: the whole texture is drawn, no corner.
  BeginRenderToTexture(glow);
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  EndRenderToTexture(glow);
  BlurTexture(glow, 1);
  ZoomRotateFeedback(glow, 2, 0, 0, 1);
  const std::vector<uint8_t> texels = TexturePixels(glow.texture, 256);
  EXPECT_GT(texels[(255 * 256 + 255) * 4], 200) << "the far corner";
  SetDrawingScale(0.6f);
  EXPECT_EQ(FollowDrawingScale(glow), 77);
  EXPECT_EQ(FollowDrawingScale(wide), 360);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  ASSERT_TRUE(CreateShowFrame(800, 600));
  SetDrawingViewport();
  EXPECT_EQ(FollowDrawingScale(glow), 128);
  ExpectFullViewport();
  glDeleteTextures(1, &glow.texture);
  glDeleteTextures(1, &wide.texture);
}

namespace {
// White points placed in pixels of the 800 x 600 frame, unblended, over black.
void BeginWhitePointsInPixels() {
  EnsureGLContext();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);
}
}  // namespace

// Round points stand in for smoothed points drawn without blending: at the star's and the burst's
// sizes, at every fraction of a pixel, they light the same pixels (a ring more or less would make
// a dense field visibly brighter or darker).
TEST(RoundPoints, LightWhatSmoothedPointsLight) {
  BeginWhitePointsInPixels();
  for (const float size : {1.5f, 3.0f}) {
    // Points 8 pixels apart, each at another fraction of a pixel, spread as evenly as the golden
    // ratio's multiples spread.
    PointBatch batch;
    for (int j = 0; j < 70; ++j) {
      for (int i = 0; i < 95; ++i) {
        const float k = static_cast<float>(j * 95 + i);
        batch.Add(8 + 8 * i + std::fmod(k * 0.618034f, 1.0f),
                  8 + 8 * j + std::fmod(k * 0.754878f, 1.0f), 0);
      }
    }
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_POINT_SMOOTH);
    glPointSize(size);
    batch.Draw();
    glDisable(GL_POINT_SMOOTH);
    const std::vector<uint8_t> smoothed = ReadFramePixels();
    glClear(GL_COLOR_BUFFER_BIT);
    batch.DrawRound(SmoothedPointRadius(size));
    const std::vector<uint8_t> round = ReadFramePixels();
    size_t lit = 0, differ = 0;
    for (size_t p = 0; p < round.size(); p += 4) {
      lit += smoothed[p] != 0;
      differ += smoothed[p] != round[p];
    }
    // About 3.1 and 7.1 pixels a point.
    EXPECT_GT(lit, batch.Count() * (size < 2 ? 3 : 7)) << size;
    EXPECT_LE(differ, lit / 1000) << size << ": " << differ << " of " << lit << " lit pixels differ";
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The burst's square points drawn at a drawing scale that makes their size fractional (3 pixels
// at 1.8 are 5.4) cover that size squared on average, so a dense burst is as bright at every
// size; at whole sizes the mask lights what GL's square points light.
TEST(RoundPoints, SquaresOfAnySizeCoverTheirArea) {
  BeginWhitePointsInPixels();
  PointBatch batch;
  for (int j = 0; j < 40; ++j)
    for (int i = 0; i < 55; ++i) {
      const float k = static_cast<float>(j * 55 + i);
      batch.Add(10 + 14 * i + std::fmod(k * 0.618034f, 1.0f),
                10 + 14 * j + std::fmod(k * 0.754878f, 1.0f), 0);
    }
  const auto litPixels = [] {
    size_t lit = 0;
    const std::vector<uint8_t> pixels = ReadFramePixels();
    for (size_t p = 0; p < pixels.size(); p += 4) lit += pixels[p] != 0;
    return lit;
  };
  for (const float side : {3.0f, 6.0f}) {
    glClear(GL_COLOR_BUFFER_BIT);
    glPointSize(side);
    batch.Draw();
    const std::vector<uint8_t> points = ReadFramePixels();
    glClear(GL_COLOR_BUFFER_BIT);
    batch.DrawSquares(side);
    const std::vector<uint8_t> mask = ReadFramePixels();
    size_t lit = 0, differ = 0;
    for (size_t p = 0; p < mask.size(); p += 4) {
      lit += points[p] != 0;
      differ += mask[p] != points[p];
    }
    EXPECT_EQ(lit, batch.Count() * static_cast<size_t>(side * side)) << side;
    // A point just on a pixel's edge may fall either way, as GL rounds its position.
    EXPECT_LE(differ, lit / 100) << side;
  }
  glPointSize(1);
  for (const float side : {1.8f, 5.4f}) {
    glClear(GL_COLOR_BUFFER_BIT);
    batch.DrawSquares(side);
    const double perPoint = static_cast<double>(litPixels()) / static_cast<double>(batch.Count());
    EXPECT_NEAR(perPoint, side * side, 0.03 * side * side) << side;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A field dense enough to be set by two threads (the ending's stars) lights exactly what its
// thirds light when each is drawn alone, by one thread.
TEST(RoundPoints, ADenseFieldLightsWhatItsThirdsLight) {
  BeginWhitePointsInPixels();
  const int count = 120000;
  PointBatch whole, thirds[3];
  for (int k = 0; k < count; ++k) {
    const float x = 800 * std::fmod(k * 0.618034f, 1.0f), y = 600 * std::fmod(k * 0.754878f, 1.0f);
    whole.Add(x, y, 0);
    thirds[3 * k / count].Add(x, y, 0);
  }
  glClear(GL_COLOR_BUFFER_BIT);
  for (PointBatch& third : thirds) third.DrawRound(0.5f);
  const std::vector<uint8_t> apart = ReadFramePixels();
  glClear(GL_COLOR_BUFFER_BIT);
  whole.DrawRound(0.5f);
  const std::vector<uint8_t> together = ReadFramePixels();
  size_t lit = 0;
  for (size_t p = 0; p < together.size(); p += 4) lit += together[p] != 0;
  EXPECT_GT(lit, static_cast<size_t>(count) / 2);
  EXPECT_LT(lit, static_cast<size_t>(count));
  EXPECT_TRUE(apart == together);
}

// A round point lights the pixels whose centres lie within its radius and no others, and the
// drawing leaves the texture binding, the tests and the matrices as they were.
TEST(RoundPoints, LightTheDiscAroundTheirCentreAndLeaveTheirState) {
  BeginWhitePointsInPixels();
  glClear(GL_COLOR_BUFFER_BIT);
  const GLuint bound = CreateRenderTexture(4);
  PointBatch batch;
  batch.Add(100.5f, 100.5f, 0);  // the centre of pixel (100, 100)
  batch.Add(300.0f, 300.0f, 0);  // the corner of four pixels
  batch.DrawRound(1.2f);
  // Radius 1.2 around a pixel centre: the pixel and its four neighbours, not the diagonals.
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const bool inside = dx * dx + dy * dy <= 1;
      EXPECT_EQ(ReadPixel(100 + dx, 100 + dy).r, inside ? 255 : 0) << dx << "," << dy;
    }
  }
  // Around a pixel corner: the four pixels at distance 0.71, none at 1.58.
  for (int y = 297; y <= 302; ++y)
    for (int x = 297; x <= 302; ++x)
      EXPECT_EQ(ReadPixel(x, y).r, (x == 299 || x == 300) && (y == 299 || y == 300) ? 255 : 0)
          << x << "," << y;
  GLint texture = 0, buffer = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
  EXPECT_EQ(static_cast<GLuint>(texture), bound);
  EXPECT_EQ(buffer, 0);
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  EXPECT_FALSE(glIsEnabled(GL_POINT_SPRITE));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  GLint mode = 0, depth = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteTextures(1, &bound);
}
