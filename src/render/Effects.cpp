// Render-to-texture by copying a corner of the frame buffer; blur, zoom feedback and fog on top.
#include "render/Effects.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Shader.h"

namespace {
// The last colour given to EnableFog.
ColorRGBA FogColour{0.5f, 0.5f, 0.5f, 1.0f};

// Unlit, depth-free texturing with the texture added at the given strength, as both effects
// draw their copies.
void BeginTextureLayers(TextureId texture, float strength) {
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, strength);
}
}  // namespace

TextureId CreateRenderTexture(int size) {
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  const size_t side = size > 0 ? static_cast<size_t>(size) : 0;
  const std::vector<uint8_t> zero(side * side * 4, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return id;
}

int RenderTextureSide(int designSide) {
  const int side = std::min(
      {ScaledPixels(static_cast<float>(designSide)), DrawingHeight(), LargestTextureSide()});
  return std::max(1, side);
}

void CreateRenderTexture(RenderTexture& target) {
  target.side = RenderTextureSide(target.designSide);
  target.texture = CreateRenderTexture(target.side);
}

int FollowDrawingScale(RenderTexture& target) {
  const int side = RenderTextureSide(target.designSide);
  if (side == target.side || target.texture == NoTexture) return target.side;
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glBindTexture(GL_TEXTURE_2D, target.texture);
  const std::vector<uint8_t> zero(static_cast<size_t>(side) * static_cast<size_t>(side) * 4, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero.data());
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  target.side = side;
  return side;
}

void BeginRenderToTexture(int size) { glViewport(0, 0, size, size); }

void EndRenderToTexture(TextureId texture, int size) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
  SetDrawingViewport();
}

namespace {
// The cross-shaped box: eleven copies shifted along x and eleven along y (by -5 .. 5 window
// units, which the square viewport shrinks to fractions of a texel), averaged, in one pass.
const char* const CrossBlurVertex =
    "#version 120\n"
    "void main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\n";
const char* const CrossBlurFragment =
    "#version 120\n"
    "uniform sampler2D picture;\n"
    "uniform vec2 step;\n"
    "void main() {\n"
    "  vec2 at = gl_TexCoord[0].st;\n"
    "  vec4 sum = vec4(0.0);\n"
    "  for (int i = -5; i <= 5; ++i) {\n"
    "    sum += texture2D(picture, at - vec2(float(i) * step.x, 0.0));\n"
    "    sum += texture2D(picture, at - vec2(0.0, float(i) * step.y));\n"
    "  }\n"
    "  gl_FragColor = sum / 22.0;\n"
    "}\n";

const ShaderProgram& CrossBlurProgram() {
  static const ShaderProgram program = BuildShaderProgram(CrossBlurVertex, CrossBlurFragment);
  return program;
}
}  // namespace

namespace {
// The blur with its taps spread apart by the factor spread (1: one window unit apart), its edges
// inset by half a texel of a texture insetSide texels wide.
void SpreadBlur(int size, TextureId texture, int passes, float spread, int insetSide) {
  const float w = static_cast<float>(ActiveWindow.Width);
  const float h = static_cast<float>(ActiveWindow.Height);
  // Half a texel in from each edge, so the shifted copies do not wrap round the repeat. Each pass
  // so draws the picture that much smaller about its centre: a texture of another side keeps the
  // inset of its design side, so that its picture shrinks as far.
  const float lo = 0.5f / static_cast<float>(insetSide);
  const float hi = 1.0f - 0.5f / static_cast<float>(insetSide);
  BeginTextureLayers(texture, 1.0f / 22.0f);
  glDisable(GL_BLEND);
  Begin2D();
  SetOrthoProjection();
  glViewport(0, 0, size, size);
  const ShaderProgram& program = CrossBlurProgram();
  BeginProgram(program);
  SetUniform(program, "picture", 0);
  // One window unit of shift moves the picture by this much of its texture coordinates.
  SetUniform(program, "step", spread * (hi - lo) / w, spread * (hi - lo) / h);
  for (int pass = 0; pass < passes; ++pass) {
    glBegin(GL_QUADS);
    glTexCoord2f(lo, lo); glVertex3f(0, 0, 0);
    glTexCoord2f(hi, lo); glVertex3f(w, 0, 0);
    glTexCoord2f(hi, hi); glVertex3f(w, h, 0);
    glTexCoord2f(lo, hi); glVertex3f(0, h, 0);
    glEnd();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
  }
  EndProgram();
  glEnable(GL_BLEND);
  SetDrawingViewport();
  RestorePerspective();
  End2D();
  glEnable(GL_DEPTH_TEST);
}

// Along one axis, how widely a blur of passes passes over a texture of side texels spreads the
// picture, with its taps spread by spread, in squared design pixels of an 800-wide window: each
// tap's linear filtering between two texels spreads it too, and so does the texture's
// magnification over the window at the end, both by a texel's width, which shrinks as the side
// grows. Half the taps lie along the other axis and add nothing along this one.
double BlurVariance(int side, int passes, double spread) {
  const double texel = static_cast<double>(DesignWidth) / side;  // design pixels
  double tapMoments = 0;
  for (int i = 1; i <= 5; ++i) {
    const double at = i * spread / texel;  // texels
    const double whole = std::floor(at), part = at - whole;
    tapMoments += 2 * (whole * whole * (1 - part) + (whole + 1) * (whole + 1) * part);
  }
  const double perPass = 0.5 * tapMoments / 11;
  return texel * texel * (passes * perPass + 1.0 / 6.0);
}

// The spread that makes passes passes of the blur over a texture of side texels spread the
// picture as widely as designPasses passes (taps one window unit apart) over one of designSide
// texels, where the coarser texels spread the picture more.
float MatchingSpread(int designSide, int designPasses, int side, int passes) {
  const double wanted = BlurVariance(designSide, designPasses, 1.0);
  double low = 0, high = 8;
  for (int step = 0; step < 40; ++step) {
    const double middle = 0.5 * (low + high);
    (BlurVariance(side, passes, middle) < wanted ? low : high) = middle;
  }
  return static_cast<float>(0.5 * (low + high));
}
}  // namespace

void BlurTexture(int size, TextureId texture, int passes) {
  SpreadBlur(size, texture, passes, 1.0f, size);
}

void ZoomRotateFeedback(int size, TextureId texture, int layers, float rotation, float growth,
                        int passes) {
  const float w = static_cast<float>(ActiveWindow.Width);
  const float h = static_cast<float>(ActiveWindow.Height);
  for (int pass = 0; pass < passes; ++pass) {
    BeginRenderToTexture(size);
    BeginFrame();
    BeginTextureLayers(texture, 1.0f / static_cast<float>(layers));
    SetOrthoProjection();
    for (int f = 0; f < layers; ++f) {
      const float g = static_cast<float>(f) * growth;
      glPushMatrix();
      glTranslatef(0.5f * w, 0.5f * h, 0);
      glRotatef(static_cast<float>(f) * rotation / static_cast<float>(layers), 0, 0, 1);
      glTranslatef(-0.5f * w, -0.5f * h, 0);
      glBegin(GL_QUADS);
      glTexCoord2f(0, 0); glVertex3f(-g, -g, 0);
      glTexCoord2f(1, 0); glVertex3f(w + g, -g, 0);
      glTexCoord2f(1, 1); glVertex3f(w + g, h + g, 0);
      glTexCoord2f(0, 1); glVertex3f(-g, h + g, 0);
      glEnd();
      glPopMatrix();
    }
    RestorePerspective();
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    EndRenderToTexture(texture, size);
  }
}

void BeginRenderToTexture(RenderTexture& target) {
  BeginRenderToTexture(FollowDrawingScale(target));
}

void EndRenderToTexture(RenderTexture& target) {
  EndRenderToTexture(target.texture, FollowDrawingScale(target));
}

void BlurTexture(RenderTexture& target, int passes) {
  const int side = FollowDrawingScale(target);
  if (side == target.designSide || passes <= 0) {
    BlurTexture(side, target.texture, passes);
    return;
  }
  SpreadBlur(side, target.texture, passes,
             MatchingSpread(target.designSide, passes, side, passes), target.designSide);
}

void SoftenAsAtDesignSide(RenderTexture& target) {
  const int side = FollowDrawingScale(target);
  if (side <= target.designSide) return;
  SpreadBlur(side, target.texture, 1, MatchingSpread(target.designSide, 0, side, 1), side);
}

void ZoomRotateFeedback(RenderTexture& target, int layers, float rotation, float growth,
                        int passes) {
  ZoomRotateFeedback(FollowDrawingScale(target), target.texture, layers, rotation, growth, passes);
}

void EnableFog(const ColorRGBA& colour, uint8_t mode, float density, float start, float end) {
  glEnable(GL_FOG);
  FogColour = colour;
  if (mode == 0)
    glFogi(GL_FOG_MODE, GL_LINEAR);
  else if (mode == 1)
    glFogi(GL_FOG_MODE, GL_EXP);
  else if (mode == 2)
    glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, &FogColour.r);
  glFogf(GL_FOG_DENSITY, density);
  glHint(GL_FOG_HINT, GL_DONT_CARE);
  glFogf(GL_FOG_START, start);
  glFogf(GL_FOG_END, end);
}

void DisableFog() { glDisable(GL_FOG); }
