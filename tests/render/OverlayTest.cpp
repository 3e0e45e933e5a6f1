// The overlay drawers in the real GL context: pixels they produce and the state they leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ToolkitFixture.h"
#include "platform/GL.h"
#include "platform/Glyphs.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "support/TestSupport.h"

namespace {

// The toolkit's clean GL fixture (every setting restored afterwards); the drawers set their own
// projections.
class OverlayTest : public GLStateTest {
 protected:
  void TearDown() override {
    GLStateTest::TearDown();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
};

// A 4 x 4 picture, bottom row first: bottom-left red, bottom-right green, top-left blue,
// top-right white; made once per binary.
TextureId QuadrantTexture() {
  static TextureId texture = NoTexture;
  if (texture != NoTexture) return texture;
  std::vector<uint8_t> pixels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool top = y >= 2, right = x >= 2;
      const uint8_t r = (!top && !right) || (top && right) ? 255 : 0;
      const uint8_t g = (!top && right) || (top && right) ? 255 : 0;
      const uint8_t b = top ? 255 : 0;
      pixels.insert(pixels.end(), {r, g, b});
    }
  }
  TextureFilterMode = 0;  // nearest, so the quadrants stay sharp
  texture = CreateTexture(4, 4, GL_RGB, pixels.data());
  TextureFilterMode = 2;
  return texture;
}

std::vector<float> Matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

std::vector<float> StandardPerspective() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(45.0, 4.0 / 3.0, 1.0, 100000.0);
  std::vector<float> m = Matrix(GL_PROJECTION_MATRIX);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  return m;
}

void ExpectPixel(int x, int y, int r, int g, int b, int tolerance = 2) {
  const Pixel p = ReadPixel(x, y);
  EXPECT_NEAR(p.r, r, tolerance) << x << "," << y;
  EXPECT_NEAR(p.g, g, tolerance) << x << "," << y;
  EXPECT_NEAR(p.b, b, tolerance) << x << "," << y;
}

bool Lit(int x, int y) {
  const Pixel p = ReadPixel(x, y);
  return p.r + p.g + p.b > 0;
}

bool On(GLenum capability) { return glIsEnabled(capability) == GL_TRUE; }

}  // namespace

TEST_F(OverlayTest, BeginAndEnd2DBracketTheModelview) {
  glTranslatef(5, 6, 7);
  const std::vector<float> before = Matrix(GL_MODELVIEW_MATRIX);
  Begin2D();
  const std::vector<float> inside = Matrix(GL_MODELVIEW_MATRIX);
  EXPECT_FLOAT_EQ(inside[12], 0);
  EXPECT_FLOAT_EQ(inside[13], 0);
  EXPECT_FLOAT_EQ(inside[14], -1);
  EXPECT_FLOAT_EQ(inside[0], 1);
  End2D();
  EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
}

TEST_F(OverlayTest, PictureFillsTheFrameUprightAndLeavesTheDefaultMaterial) {
  const GLfloat red[4] = {1, 0, 0, 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
  Begin2D();
  DrawPicture(QuadrantTexture(), 0, 0, 800, 600);
  End2D();
  ExpectPixel(0, 0, 255, 0, 0);
  ExpectPixel(100, 100, 255, 0, 0);
  ExpectPixel(700, 100, 0, 255, 0);
  ExpectPixel(100, 500, 0, 0, 255);
  ExpectPixel(799, 599, 255, 255, 255);
  GLfloat diffuse[4];
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
  EXPECT_FLOAT_EQ(diffuse[0], 0.8f);
  EXPECT_FLOAT_EQ(diffuse[1], 0.8f);
  EXPECT_FALSE(On(GL_COLOR_MATERIAL));
  EXPECT_TRUE(On(GL_TEXTURE_2D));
}

TEST_F(OverlayTest, WhiteInvertRectComplementsEveryPixelAndBlackKeepsThem) {
  Begin2D();
  DrawPicture(QuadrantTexture(), 0, 0, 800, 600);
  DrawRect({0.3f, 0.6f, 0.1f, 0.5f}, 200, 150, 400, 300);
  const std::vector<uint8_t> before = ReadFramePixels();
  DrawInvertRect({0, 0, 0, 1}, 0, 0, 800, 600);
  // Colour only: the frame's alpha channel is not shown.
  const std::vector<uint8_t> unchanged = ReadFramePixels();
  size_t changed = 0;
  for (size_t i = 0; i < before.size(); i += 4) {
    for (int c = 0; c < 3; ++c) changed += unchanged[i + c] != before[i + c];
  }
  EXPECT_EQ(changed, 0u);
  DrawInvertRect({1, 1, 1, 1}, 0, 0, 800, 600);
  End2D();
  const std::vector<uint8_t> after = ReadFramePixels();
  size_t wrong = 0;
  for (size_t i = 0; i < before.size(); i += 4) {
    for (int c = 0; c < 3; ++c) wrong += std::abs(after[i + c] - (255 - before[i + c])) > 1;
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_FALSE(On(GL_TEXTURE_2D));
}

TEST_F(OverlayTest, AdditiveRectAddsItsColourScaledByAlpha) {
  glClearColor(0.25f, 0.25f, 0.25f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  Begin2D();
  DrawRectAdditive({1.0f, 0.5f, 0.0f, 0.5f}, 100, 100, 200, 200);
  End2D();
  ExpectPixel(200, 200, 64 + 128, 64 + 64, 64);
  ExpectPixel(50, 50, 64, 64, 64);
  // Outside the rectangle nothing changes; its edges are where they were asked to be.
  ExpectPixel(99, 200, 64, 64, 64);
  ExpectPixel(100, 200, 192, 128, 64);
  ExpectPixel(299, 299, 192, 128, 64);
  ExpectPixel(300, 299, 64, 64, 64);
}

// Quads that blend nothing in (alpha at or below 0; additive ones without colour) are not sent:
// the frame stays as it was, byte for byte, while the drawer's state changes all happen as for
// a visible quad (the current colour, the bound texture and the blend function later drawing
// relies on). A visible alpha still draws.
TEST_F(OverlayTest, QuadsThatBlendNothingInLeaveTheFrameButSetTheirState) {
  const TextureId texture = QuadrantTexture();
  struct Case {
    const char* name;
    std::function<void(const ColorRGBA&)> draw;
    ColorRGBA invisible;
    GLint blendDestination;
  };
  const std::vector<Case> cases = {
      {"Image", [&](const ColorRGBA& c) { DrawImage(texture, c, 0, 0, 800, 600); },
       {1, 1, 1, 0}, GL_ONE_MINUS_SRC_ALPHA},
      {"ImageAdditive", [&](const ColorRGBA& c) { DrawImageAdditive(texture, c, 0, 0, 800, 600); },
       {1, 1, 1, -0.3f}, GL_ONE},
      {"SpriteAdditive",
       [&](const ColorRGBA& c) { DrawSpriteAdditive(texture, c, 400, 300, 800, 600, 10); },
       {0, 0, 0, 1}, GL_ONE},
      {"Rect", [&](const ColorRGBA& c) { DrawRect(c, 0, 0, 800, 600); }, {0, 0, 0, 0}, 0},
      {"RectAdditive", [&](const ColorRGBA& c) { DrawRectAdditive(c, 0, 0, 800, 600); },
       {1, 1, 1, -1}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    glClearColor(0.25f, 0.5f, 0.75f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Begin2D();
    DrawRectAdditive({0.3f, 0.1f, 0.0f, 1}, 100, 100, 300, 200);  // something to keep
    const std::vector<uint8_t> before = ReadFramePixels();
    glBindTexture(GL_TEXTURE_2D, 0);
    c.draw(c.invisible);
    EXPECT_EQ(ReadFramePixels(), before) << "an invisible quad changed the frame";
    GLfloat current[4];
    glGetFloatv(GL_CURRENT_COLOR, current);
    GLint bound = 0, destination = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_BLEND_DST, &destination);
    if (c.blendDestination != 0) {
      // The textured drawers leave their colour, texture and blend function.
      EXPECT_EQ(bound, static_cast<GLint>(texture));
      EXPECT_EQ(destination, c.blendDestination);
      EXPECT_FLOAT_EQ(current[0], c.invisible.r);
      EXPECT_FLOAT_EQ(current[3], c.invisible.a);
    }
    c.draw({1, 1, 1, 0.5f});
    EXPECT_NE(ReadFramePixels(), before) << "a visible quad did not draw";
    End2D();
  }
}

TEST_F(OverlayTest, CentredSpritesCoverTheCornerQuadAndRotateAboutTheirCentre) {
  Begin2D();
  glColor4f(1, 1, 1, 1);
  DrawSpriteBlended(QuadrantTexture(), 400, 300, 200, 100, 0);
  const std::vector<uint8_t> sprite = ReadFramePixels();
  glClear(GL_COLOR_BUFFER_BIT);
  DrawImage(QuadrantTexture(), {1, 1, 1, 1}, 300, 250, 200, 100);
  EXPECT_EQ(ReadFramePixels(), sprite);
  glClear(GL_COLOR_BUFFER_BIT);
  // A quarter turn counter-clockwise: the bottom-left (red) quadrant moves to the bottom right.
  DrawSpriteAdditive(QuadrantTexture(), {1, 1, 1, 1}, 400, 300, 200, 100, 90);
  End2D();
  ExpectPixel(420, 220, 255, 0, 0);
  ExpectPixel(380, 380, 255, 255, 255);
  ExpectPixel(460, 300, 0, 0, 0);
  ExpectPixel(400, 410, 0, 0, 0);
}

TEST_F(OverlayTest, EveryDrawerLeavesItsDocumentedState) {
  const std::vector<float> perspective = StandardPerspective();
  struct Case {
    const char* name;
    std::function<void()> draw;
    bool fogAfter;      // with fog on before the call
    bool textureAfter;  // with texturing off before the call
  };
  const TextureId texture = QuadrantTexture();
  const ColorRGBA colour = {0.5f, 0.5f, 0.5f, 1};
  const std::vector<Case> cases = {
      {"SpriteAdditive", [&] { DrawSpriteAdditive(texture, colour, 10, 10, 5, 5, 30); }, false, true},
      {"SpriteBlended", [&] { DrawSpriteBlended(texture, 10, 10, 5, 5, 30); }, false, true},
      {"Image", [&] { DrawImage(texture, colour, 10, 10, 5, 5); }, false, true},
      {"ImageAdditive", [&] { DrawImageAdditive(texture, colour, 10, 10, 5, 5); }, true, true},
      {"Picture", [&] { DrawPicture(texture, 10, 10, 5, 5); }, true, true},
      {"InvertRect", [&] { DrawInvertRect(colour, 10, 10, 5, 5); }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 3, -3, 3, -3, 3);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    Begin2D();
    c.draw();
    End2D();
    EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), perspective);
    EXPECT_EQ(On(GL_FOG), c.fogAfter);
    EXPECT_EQ(On(GL_TEXTURE_2D), c.textureAfter);
    EXPECT_TRUE(On(GL_LIGHTING));
    EXPECT_TRUE(On(GL_DEPTH_TEST));
    EXPECT_FALSE(On(GL_BLEND));
    GLint matrixMode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
  }
}

TEST_F(OverlayTest, PlainRectsChangeNothingButTheProjection) {
  const std::vector<float> perspective = StandardPerspective();
  for (bool additive : {false, true}) {
    glEnable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glColor4f(0.25f, 0.5f, 0.75f, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    Begin2D();
    if (additive) {
      DrawRectAdditive({1, 0, 0, 1}, 0, 0, 10, 10);
    } else {
      DrawRect({1, 0, 0, 1}, 0, 0, 10, 10);
    }
    End2D();
    EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), perspective);
    EXPECT_TRUE(On(GL_FOG));
    EXPECT_TRUE(On(GL_TEXTURE_2D));
    EXPECT_FALSE(On(GL_LIGHTING));
    EXPECT_FALSE(On(GL_DEPTH_TEST));
    EXPECT_FALSE(On(GL_BLEND));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_DST_COLOR);
    EXPECT_EQ(destination, GL_ZERO);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
  }
}

TEST_F(OverlayTest, BillboardFacesTheCameraUprightAfterARotation) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 4.0 / 3.0, 1.0, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // A camera above and to the side, tilted about its view axis.
  gluLookAt(6, 5, 7, 0, 0, 0, 0.3, 1, 0);
  Vector3 up, right;
  GetBillboardAxes(up, right);
  EXPECT_NEAR(up.x * right.x + up.y * right.y + up.z * right.z, 0, 1e-5);
  BindTexture(QuadrantTexture());
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  DrawBillboard({0, 0, 0}, 1);
  // The centre of the quad projects to the centre of the window; its picture is not rotated:
  // blue above-left, white above-right, red below-left, green below-right.
  ExpectPixel(390, 310, 0, 0, 255);
  ExpectPixel(410, 310, 255, 255, 255);
  ExpectPixel(390, 290, 255, 0, 0);
  ExpectPixel(410, 290, 0, 255, 0);
  // It is square on screen: equal extents to the right and upwards.
  auto extent = [](int dx, int dy) {
    int steps = 0;
    while (steps < 300 && Lit(400 + dx * steps, 300 + dy * steps)) ++steps;
    return steps;
  };
  EXPECT_GT(extent(1, 0), 20);
  EXPECT_NEAR(extent(1, 0), extent(0, 1), 1);
}

TEST_F(OverlayTest, FontListsDrawGlyphs) {
  const uint32_t base = BuildFont("Verdana", 12, true);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(glIsList(base));
  EXPECT_TRUE(glIsList(base + 254));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 800, 0, 600, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glColor4f(1, 1, 1, 1);
  glRasterPos2i(10, 10);
  const std::string text = "HH";
  glListBase(base);
  glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
  int lit = 0;
  const std::vector<uint8_t> frame = ReadFramePixels(60, 30);
  for (size_t i = 0; i < frame.size(); i += 4) lit += frame[i] > 0;
  EXPECT_GT(lit, 20);
  // The pen advanced past both letters.
  GLfloat position[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
  EXPECT_GT(position[0], 20);
}

TEST(Glyphs, MissingFacesFallBackToDejaVuSansAndNamesIgnoreCase) {
  const std::string dejaVu = "/usr/share/fonts/truetype/dejavu/";
  EXPECT_EQ(FindFontFile("No Such Face", false), dejaVu + "DejaVuSans.ttf");
  EXPECT_EQ(FindFontFile("No Such Face", true), dejaVu + "DejaVuSans-Bold.ttf");
  EXPECT_EQ(FindFontFile("dejavusansmono", true), dejaVu + "DejaVuSansMono-Bold.ttf");
}

// Layers fused into one program pass give the picture the layers drawn one by one give (within
// the rounding each separate layer adds), and the state the last of them would leave.
TEST_F(OverlayTest, PicturesAddedInOnePassMatchThemAddedOneByOne) {
  const TextureId layers[3] = {QuadrantTexture(), QuadrantTexture(), QuadrantTexture()};
  const ColorRGBA share{1, 1, 1, 0.3f};
  Begin2D();
  BeginFrame();
  for (TextureId layer : layers) DrawImageAdditive(layer, share, 0, 0, 800, 600);
  const std::vector<uint8_t> oneByOne = ReadFramePixels();
  BeginFrame();
  DrawImagesAdditive(layers, 3, share, 0, 0, 800, 600);
  const std::vector<uint8_t> fused = ReadFramePixels();
  End2D();
  ASSERT_EQ(fused.size(), oneByOne.size());
  int largest = 0;
  for (size_t i = 0; i < fused.size(); ++i)
    largest = std::max(largest, std::abs(fused[i] - oneByOne[i]));
  EXPECT_LE(largest, 3);
  ExpectPixel(100, 100, 230, 0, 0, 3);  // 0.9 of the red quadrant
  EXPECT_FALSE(On(GL_BLEND));
  EXPECT_TRUE(On(GL_TEXTURE_2D));
  GLint program = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, 0);
}

// A kept layer comes back byte for byte, and only where it was kept: at the same drawing size, seen
// whole. A scissored frame keeps nothing.
TEST_F(OverlayTest, StillLayerPutsBackTheSameBytesAtItsOwnSizeOnly) {
  StillLayer layer;
  Begin2D();
  BeginFrame();
  EXPECT_FALSE(layer.DrawKept());
  DrawImageAdditive(QuadrantTexture(), {1, 1, 1, 0.6f}, 0, 0, 800, 600);
  DrawPicture(QuadrantTexture(), -10, 25, 333, 257);  // scaled and filtered over the first
  const std::vector<uint8_t> drawn = ReadFramePixels();
  glEnable(GL_SCISSOR_TEST);
  layer.Keep();
  glDisable(GL_SCISSOR_TEST);
  EXPECT_FALSE(layer.DrawKept()) << "a scissored drawing is not kept";
  layer.Keep();
  BeginFrame();
  ASSERT_TRUE(layer.DrawKept());
  EXPECT_TRUE(ReadFramePixels() == drawn);
  EXPECT_FALSE(On(GL_BLEND));
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  EXPECT_EQ(mode, GL_MODULATE);
  glViewport(0, 0, 480, 360);  // a smaller drawing: drawn afresh
  EXPECT_FALSE(layer.DrawKept());
  glViewport(0, 0, 800, 600);
  layer.Forget();
  EXPECT_FALSE(layer.DrawKept());
  End2D();
}

// Copies of one picture through their own maps: unturned they add up as the same picture added
// once per copy; a half turn shows the opposite corner; what a map takes beyond the picture's
// edge adds nothing; a picture filling part of its texture is looked up in that part only.
TEST_F(OverlayTest, TurnedCopiesShowThePictureThroughTheirMaps) {
  const TextureId picture = QuadrantTexture();
  const ColorRGBA share{1, 1, 1, 0.3f};
  const float unturned[3][4] = {{1, 0, 0, 1}, {1, 0, 0, 1}, {1, 0, 0, 1}};
  Begin2D();
  BeginFrame();
  const TextureId layers[3] = {picture, picture, picture};
  DrawImagesAdditive(layers, 3, share, 0, 0, 800, 600);
  const std::vector<uint8_t> layered = ReadFramePixels();
  BeginFrame();
  DrawTurnedCopiesAdditive(picture, 1.0f, unturned, 3, share, 0, 0, 800, 600);
  const std::vector<uint8_t> turned = ReadFramePixels();
  ASSERT_EQ(turned.size(), layered.size());
  int largest = 0;
  for (size_t i = 0; i < turned.size(); ++i)
    largest = std::max(largest, std::abs(turned[i] - layered[i]));
  EXPECT_LE(largest, 3);

  const float halfTurn[1][4] = {{-1, 0, 0, -1}};
  BeginFrame();
  DrawTurnedCopiesAdditive(picture, 1.0f, halfTurn, 1, share, 0, 0, 800, 600);
  ExpectPixel(100, 100, 77, 77, 77);  // the white corner, at 0.3
  ExpectPixel(700, 500, 77, 0, 0);    // the red one

  const float doubled[1][4] = {{2, 0, 0, 2}};
  BeginFrame();
  DrawTurnedCopiesAdditive(picture, 1.0f, doubled, 1, share, 0, 0, 800, 600);
  ExpectPixel(100, 100, 0, 0, 0);
  ExpectPixel(350, 250, 77, 0, 0);

  // The picture in the lower-left half of the texture: its whole width is the red quadrant.
  BeginFrame();
  DrawTurnedCopiesAdditive(picture, 0.5f, halfTurn, 1, share, 0, 0, 800, 600);
  ExpectPixel(100, 100, 77, 0, 0);
  ExpectPixel(700, 500, 77, 0, 0);
  End2D();
  GLint program = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, 0);
}
