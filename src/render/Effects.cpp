// Render-to-texture by copying a corner of the frame buffer; blur, zoom feedback and fog on top.
#include "render/Effects.h"

#include <vector>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "render/Overlay.h"
#include "render/RenderState.h"

ColorRGBA FogColour{0.5f, 0.5f, 0.5f, 1.0f};

namespace {
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

void BeginRenderToTexture(int size) { glViewport(0, 0, size, size); }

void EndRenderToTexture(TextureId texture, int size) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
  SetDrawingViewport();
}

void BlurTexture(int size, TextureId texture, int passes) {
  const float w = static_cast<float>(ActiveWindow.Width);
  const float h = static_cast<float>(ActiveWindow.Height);
  // Half a texel in from each edge, so the shifted copies do not wrap round the repeat.
  const float lo = 0.5f / size;
  const float hi = 1.0f - 0.5f / size;
  BeginTextureLayers(texture, 1.0f / 22.0f);
  Begin2D();
  SetOrthoProjection();
  glViewport(0, 0, size, size);
  for (int pass = 0; pass < passes; ++pass) {
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    for (int step = -5; step <= 5; ++step) {
      const float i = static_cast<float>(step);
      glTexCoord2f(lo, lo); glVertex3f(i, 0, 0);
      glTexCoord2f(hi, lo); glVertex3f(w + i, 0, 0);
      glTexCoord2f(hi, hi); glVertex3f(w + i, h, 0);
      glTexCoord2f(lo, hi); glVertex3f(i, h, 0);
      glTexCoord2f(lo, lo); glVertex3f(0, i, 0);
      glTexCoord2f(hi, lo); glVertex3f(w, i, 0);
      glTexCoord2f(hi, hi); glVertex3f(w, h + i, 0);
      glTexCoord2f(lo, hi); glVertex3f(0, h + i, 0);
    }
    glEnd();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
  }
  SetDrawingViewport();
  RestorePerspective();
  End2D();
  glEnable(GL_DEPTH_TEST);
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
