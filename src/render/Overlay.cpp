// 2D overlay drawing: the Begin2D bracket, projection switches, the quad drawers, billboards and
// the bitmap font. Each drawer sets every state it needs and leaves a fixed state behind.
#include "render/Overlay.h"

#include <algorithm>
#include <vector>

#include "platform/GL.h"
#include "platform/Glyphs.h"
#include "platform/Window.h"
#include "render/RenderState.h"
#include "render/Shader.h"

uint32_t FontListBase = 0;

namespace {

enum class Fog { Disable, Keep };

// Texture coordinates (0,0) at the bottom-left corner and (1,1) at the top right, so pictures
// stored bottom row first appear upright.
void CornerQuad(float x, float y, float w, float h, float low, float high) {
  glBegin(GL_QUADS);
  glTexCoord2f(low, low);
  glVertex3f(x, y, 0);
  glTexCoord2f(high, low);
  glVertex3f(x + w, y, 0);
  glTexCoord2f(high, high);
  glVertex3f(x + w, y + h, 0);
  glTexCoord2f(low, high);
  glVertex3f(x, y + h, 0);
  glEnd();
}

void CentredQuad(float x, float y, float w, float h, float angle) {
  glPushMatrix();
  glTranslatef(x, y, 0);
  glRotatef(angle, 0, 0, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(-w / 2, -h / 2, 0);
  glTexCoord2f(1, 0);
  glVertex3f(w / 2, -h / 2, 0);
  glTexCoord2f(1, 1);
  glVertex3f(w / 2, h / 2, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-w / 2, h / 2, 0);
  glEnd();
  glPopMatrix();
}

// A quad whose source alpha is 0 after GL clamps the colour (every drawer below blends with the
// source alpha) leaves every pixel as it was, as does an additive one with no colour: such quads
// are not sent, which saves a full-screen pass on a software renderer at no change to the picture.
// Every state change of the drawer still happens, since later drawing relies on it. A NaN alpha
// is sent, as its effect is the renderer's to decide.
bool LeavesPixelsAlone(const ColorRGBA& colour, bool additive) {
  if (colour.a <= 0) return true;
  return additive && colour.r <= 0 && colour.g <= 0 && colour.b <= 0;
}

// Steps shared by the textured drawers up to the projection switch; the colour is set by the
// caller before, as the order of state changes is part of what the drawers promise.
void BeginTexturedQuad(TextureId texture, GLenum destinationFactor, Fog fog) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, destinationFactor);
  if (fog == Fog::Disable) glDisable(GL_FOG);
  SetOrthoProjection();
}

void BeginTextured() {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
}

// Texturing stays on and the current colour stays as set.
void EndTexturedQuad() {
  RestorePerspective();
  glDisable(GL_BLEND);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

// Everything is saved and restored around the plain rectangles; only the projection changes.
void PlainRect(const ColorRGBA& colour, float x, float y, float w, float h,
               GLenum destinationFactor) {
  glPushAttrib(0x000FFFFF);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, destinationFactor);
  SetOrthoProjection();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  if (!LeavesPixelsAlone(colour, destinationFactor == GL_ONE)) {
    glBegin(GL_QUADS);
    glVertex3f(x, y, 0);
    glVertex3f(x + w, y, 0);
    glVertex3f(x + w, y + h, 0);
    glVertex3f(x, y + h, 0);
    glEnd();
  }
  RestorePerspective();
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glPopAttrib();
}

}  // namespace

void Begin2D() {
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0, 0, -1);
}

void End2D() { glPopMatrix(); }

void SetOrthoProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, ActiveWindow.Width, 0, ActiveWindow.Height, -1, 100);
  glMatrixMode(GL_MODELVIEW);
}

void DrawSpriteAdditive(TextureId texture, const ColorRGBA& colour, float x, float y, float w,
                        float h, float angle) {
  BeginTextured();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  BeginTexturedQuad(texture, GL_ONE, Fog::Disable);
  if (!LeavesPixelsAlone(colour, true)) CentredQuad(x, y, w, h, angle);
  EndTexturedQuad();
}

void DrawSpriteBlended(TextureId texture, float x, float y, float w, float h, float angle) {
  BeginTextured();
  BeginTexturedQuad(texture, GL_ONE_MINUS_SRC_ALPHA, Fog::Disable);
  CentredQuad(x, y, w, h, angle);
  EndTexturedQuad();
}

void DrawImage(TextureId texture, const ColorRGBA& colour, float x, float y, float w, float h) {
  BeginTextured();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  BeginTexturedQuad(texture, GL_ONE_MINUS_SRC_ALPHA, Fog::Disable);
  if (!LeavesPixelsAlone(colour, false)) CornerQuad(x, y, w, h, 0, 1);
  EndTexturedQuad();
}

void DrawImageAdditive(TextureId texture, const ColorRGBA& colour, float x, float y, float w,
                       float h) {
  BeginTextured();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  BeginTexturedQuad(texture, GL_ONE, Fog::Keep);
  if (!LeavesPixelsAlone(colour, true)) CornerQuad(x, y, w, h, 0, 1);
  EndTexturedQuad();
}

namespace {
// Up to four pictures over one rectangle, each weighted by its own alpha, summed and scaled.
const char* const LayerSumVertex =
    "#version 120\n"
    "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\n";
const char* const LayerSumFragment =
    "#version 120\n"
    "uniform sampler2D layer0, layer1, layer2, layer3;\n"
    "uniform int count;\n"
    "uniform float strength;\n"
    "vec3 weighted(sampler2D layer) {\n"
    "  vec4 c = texture2D(layer, gl_TexCoord[0].st); return c.rgb * c.a;\n"
    "}\n"
    "void main() {\n"
    "  vec3 sum = weighted(layer0);\n"
    "  if (count > 1) sum += weighted(layer1);\n"
    "  if (count > 2) sum += weighted(layer2);\n"
    "  if (count > 3) sum += weighted(layer3);\n"
    "  gl_FragColor = vec4(sum * strength, 1.0);\n"
    "}\n";

const ShaderProgram& LayerSumProgram() {
  static const ShaderProgram program = [] {
    const ShaderProgram built = BuildShaderProgram(LayerSumVertex, LayerSumFragment);
    BeginProgram(built);
    const char* samplers[4] = {"layer0", "layer1", "layer2", "layer3"};
    for (int unit = 0; unit < 4; ++unit) SetUniform(built, samplers[unit], unit);
    EndProgram();
    return built;
  }();
  return program;
}
}  // namespace

void DrawImagesAdditive(const TextureId* textures, int count, const ColorRGBA& colour, float x,
                        float y, float w, float h) {
  count = count < 0 ? 0 : (count > 4 ? 4 : count);
  BeginTextured();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  BeginTexturedQuad(count > 0 ? textures[count - 1] : 0, GL_ONE, Fog::Keep);
  if (count > 0 && !LeavesPixelsAlone(colour, true)) {
    const ShaderProgram& program = LayerSumProgram();
    BindTextureUnits(textures, count);
    BeginProgram(program);
    SetUniform(program, "count", count);
    // The program writes alpha 1, so the blend adds exactly what it computed; clamped like the
    // colour each layer would have been drawn with.
    SetUniform(program, "strength", colour.a < 1 ? colour.a : 1.0f);
    CornerQuad(x, y, w, h, 0, 1);
    EndProgram();
    glBindTexture(GL_TEXTURE_2D, textures[count - 1]);
  }
  EndTexturedQuad();
}

namespace {
// Up to four copies of one picture, each through its own 2 x 2 map of centred coordinates.
const char* const TurnedCopiesFragment =
    "#version 120\n"
    "uniform sampler2D picture;\n"
    "uniform int count;\n"
    "uniform float strength, extent;\n"
    "uniform vec4 turn0, turn1, turn2, turn3;\n"
    "vec3 turned(vec4 turn) {\n"
    "  vec2 p = 2.0 * gl_TexCoord[0].st - 1.0;\n"
    "  vec2 at = vec2(dot(turn.xy, p), dot(turn.zw, p));\n"
    "  if (any(greaterThan(abs(at), vec2(1.0)))) return vec3(0.0);\n"
    "  vec4 c = texture2D(picture, (0.5 * at + 0.5) * extent); return c.rgb * c.a;\n"
    "}\n"
    "void main() {\n"
    "  vec3 sum = turned(turn0);\n"
    "  if (count > 1) sum += turned(turn1);\n"
    "  if (count > 2) sum += turned(turn2);\n"
    "  if (count > 3) sum += turned(turn3);\n"
    "  gl_FragColor = vec4(sum * strength, 1.0);\n"
    "}\n";

const ShaderProgram& TurnedCopiesProgram() {
  static const ShaderProgram program = BuildShaderProgram(LayerSumVertex, TurnedCopiesFragment);
  return program;
}
}  // namespace

void DrawTurnedCopiesAdditive(TextureId texture, float extent, const float (*turns)[4], int count,
                              const ColorRGBA& colour, float x, float y, float w, float h) {
  count = count < 0 ? 0 : (count > 4 ? 4 : count);
  BeginTextured();
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  BeginTexturedQuad(texture, GL_ONE, Fog::Keep);
  if (count > 0 && !LeavesPixelsAlone(colour, true)) {
    const ShaderProgram& program = TurnedCopiesProgram();
    BeginProgram(program);
    SetUniform(program, "picture", 0);
    SetUniform(program, "count", count);
    SetUniform(program, "strength", colour.a < 1 ? colour.a : 1.0f);
    SetUniform(program, "extent", extent);
    const char* names[4] = {"turn0", "turn1", "turn2", "turn3"};
    for (int i = 0; i < count; ++i)
      SetUniform(program, names[i], turns[i][0], turns[i][1], turns[i][2], turns[i][3]);
    CornerQuad(x, y, w, h, 0, 1);
    EndProgram();
  }
  EndTexturedQuad();
}

void DrawPicture(TextureId texture, float x, float y, float w, float h) {
  BeginTextured();
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  SetOrthoProjection();
  // Inset coordinates keep linear filtering with repeat wrapping from bleeding the opposite
  // edge into the border.
  CornerQuad(x, y, w, h, 0.0001f, 0.9999f);
  EndTexturedQuad();
  glDisable(GL_COLOR_MATERIAL);
  ResetMaterial();
}

int LargestTextureSide() {
  static const int largest = [] {
    GLint value = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    return std::max(64, static_cast<int>(value));
  }();
  return largest;
}

namespace {
// The viewport's size when the drawing fills it from the frame's corner and is seen whole.
bool WholeDrawing(int& width, int& height) {
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  width = viewport[2];
  height = viewport[3];
  return viewport[0] == 0 && viewport[1] == 0 && width > 0 && height > 0 && !DrawingUnseen() &&
         !glIsEnabled(GL_SCISSOR_TEST);
}
}  // namespace

bool StillLayer::DrawKept() {
  int width = 0, height = 0;
  if (!WholeDrawing(width, height) || width != width_ || height != height_) return false;
  BeginTextured();
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, texture_);
  glDisable(GL_BLEND);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  SetOrthoProjection();
  CornerQuad(0, 0, static_cast<float>(ActiveWindow.Width), static_cast<float>(ActiveWindow.Height),
             0, 1);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  EndTexturedQuad();
  ResetMaterial();
  return true;
}

void StillLayer::Keep() {
  int width = 0, height = 0;
  if (!WholeDrawing(width, height)) return;
  if (width > LargestTextureSide() || height > LargestTextureSide()) return;
  GLuint id = texture_;
  if (id == NoTexture) glGenTextures(1, &id);
  texture_ = id;
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 0, 0, width, height, 0);
  width_ = width;
  height_ = height;
}

void DrawInvertRect(const ColorRGBA& colour, float x, float y, float w, float h) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glColor4f(colour.r, colour.g, colour.b, colour.a);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR);
  SetOrthoProjection();
  CornerQuad(x, y, w, h, 0, 1);
  RestorePerspective();
  glDisable(GL_BLEND);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

void DrawRect(const ColorRGBA& colour, float x, float y, float w, float h) {
  PlainRect(colour, x, y, w, h, GL_ONE_MINUS_SRC_ALPHA);
}

void DrawRectAdditive(const ColorRGBA& colour, float x, float y, float w, float h) {
  PlainRect(colour, x, y, w, h, GL_ONE);
}

void GetBillboardAxes(Vector3& up, Vector3& right) {
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  right = {m[0], m[4], m[8]};
  up = {m[1], m[5], m[9]};
}

void DrawBillboard(const Vector3& centre, float halfSize) {
  Vector3 up, right;
  GetBillboardAxes(up, right);
  auto corner = [&](float alongRight, float alongUp) {
    return Vector3{centre.x + halfSize * (alongRight * right.x + alongUp * up.x),
                   centre.y + halfSize * (alongRight * right.y + alongUp * up.y),
                   centre.z + halfSize * (alongRight * right.z + alongUp * up.z)};
  };
  const Vector3 corners[4] = {corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1)};
  const float texCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  glBegin(GL_QUADS);
  for (int i = 0; i < 4; ++i) {
    glTexCoord2f(texCoords[i][0], texCoords[i][1]);
    glVertex3f(corners[i].x, corners[i].y, corners[i].z);
  }
  glEnd();
}

uint32_t BuildFont(const char* faceName, int height, bool bold) {
  const GLuint base = glGenLists(255);
  const std::vector<GlyphBitmap> glyphs =
      RasteriseGlyphs(faceName ? faceName : "", height, bold, 255);
  // glBitmap rows are packed one bit a pixel and padded to whole bytes.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // Mesa refuses a null bitmap inside a display list even when it is empty.
  static const GLubyte NoBits[1] = {0};
  for (GLuint code = 0; code < 255; ++code) {
    glNewList(base + code, GL_COMPILE);
    if (code < glyphs.size()) {
      const GlyphBitmap& glyph = glyphs[code];
      glBitmap(glyph.width, glyph.height, glyph.originX, glyph.originY, glyph.advance, 0,
               glyph.bits.empty() ? NoBits : glyph.bits.data());
    }
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
  return base;
}
