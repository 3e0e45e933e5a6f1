// The show's offscreen frame: framebuffer-object entry points from SDL, and the scaled present.
#include "platform/ShowFrame.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/GL.h"
#include "platform/GLEntryPoints.h"

namespace {
// The framebuffer-object entry points; the core names and the EXT names take the same arguments.
struct FrameBufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;  // may stay null: the quad path
};

struct FrameState {
  FrameBufferCalls gl;
  GLuint framebuffer = 0;
  GLuint colour = 0;        // texture, so the quad path can draw it
  GLuint depthStencil = 0;  // renderbuffer
  int width = 0;
  int height = 0;
  bool active = false;
  bool blitAllowed = true;
};
FrameState Frame;
float Scale = 1.0f;
// The frame's size, kept also when no frame object could be made (the window holds the frame).
int SizedWidth = DesignWidth;
int SizedHeight = DesignHeight;

// GL 3.0 and ARB_framebuffer_object have the core names with blits and packed depth-stencil;
// the older EXT extensions have the same calls with the EXT suffix.
bool LoadCalls(FrameBufferCalls& gl) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const bool core = (version && std::atoi(version) >= 3) ||
                    SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object");
  const bool ext = SDL_GL_ExtensionSupported("GL_EXT_framebuffer_object") &&
                   SDL_GL_ExtensionSupported("GL_EXT_packed_depth_stencil");
  if (!core && !ext) return false;
  const char* suffix = core ? "" : "EXT";
  const bool loaded =
      LoadGLEntryPoint(gl.genFramebuffers, "glGenFramebuffers", suffix) &&
      LoadGLEntryPoint(gl.deleteFramebuffers, "glDeleteFramebuffers", suffix) &&
      LoadGLEntryPoint(gl.bindFramebuffer, "glBindFramebuffer", suffix) &&
      LoadGLEntryPoint(gl.framebufferTexture2D, "glFramebufferTexture2D", suffix) &&
      LoadGLEntryPoint(gl.genRenderbuffers, "glGenRenderbuffers", suffix) &&
      LoadGLEntryPoint(gl.deleteRenderbuffers, "glDeleteRenderbuffers", suffix) &&
      LoadGLEntryPoint(gl.bindRenderbuffer, "glBindRenderbuffer", suffix) &&
      LoadGLEntryPoint(gl.renderbufferStorage, "glRenderbufferStorage", suffix) &&
      LoadGLEntryPoint(gl.framebufferRenderbuffer, "glFramebufferRenderbuffer", suffix) &&
      LoadGLEntryPoint(gl.checkFramebufferStatus, "glCheckFramebufferStatus", suffix);
  if (!loaded) return false;
  if (core || SDL_GL_ExtensionSupported("GL_EXT_framebuffer_blit"))
    LoadGLEntryPoint(gl.blitFramebuffer, "glBlitFramebuffer", suffix);
  return true;
}

void BindFrame() { Frame.gl.bindFramebuffer(GL_FRAMEBUFFER, Frame.framebuffer); }

// The frame's drawn part (its lower-left drawing size) over the picture rectangle, with everything that could tint, blend, fog or
// clip it switched off; the caller restores the state.
void DrawFrameQuad(const PictureRect& picture) {
  glViewport(picture.x, picture.y, picture.width, picture.height);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBindTexture(GL_TEXTURE_2D, Frame.colour);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  for (GLenum matrix : {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE}) {
    glMatrixMode(matrix);
    glPushMatrix();
    glLoadIdentity();
  }
  const float right = static_cast<float>(DrawingWidth()) / static_cast<float>(Frame.width);
  const float top = static_cast<float>(DrawingHeight()) / static_cast<float>(Frame.height);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(right, 0);
  glVertex2f(1, -1);
  glTexCoord2f(right, top);
  glVertex2f(1, 1);
  glTexCoord2f(0, top);
  glVertex2f(-1, 1);
  glEnd();
  for (GLenum matrix : {GL_TEXTURE, GL_MODELVIEW, GL_PROJECTION}) {
    glMatrixMode(matrix);
    glPopMatrix();
  }
}
}  // namespace

PictureRect FitPicture(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight) {
  if (frameWidth <= 0 || frameHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0) return {};
  PictureRect picture;
  const long long wide = static_cast<long long>(drawableWidth) * frameHeight;
  const long long tall = static_cast<long long>(drawableHeight) * frameWidth;
  if (wide >= tall) {
    // Bars left and right; the width rounded to the nearest pixel.
    picture.height = drawableHeight;
    picture.width = static_cast<int>((tall * 2 / frameHeight + 1) / 2);
  } else {
    picture.width = drawableWidth;
    picture.height = static_cast<int>((wide * 2 / frameWidth + 1) / 2);
  }
  picture.x = (drawableWidth - picture.width) / 2;
  picture.y = (drawableHeight - picture.height) / 2;
  return picture;
}

bool CreateShowFrame(int width, int height) {
  DestroyShowFrame();
  if (width > 0 && height > 0) {
    SizedWidth = width;
    SizedHeight = height;
    Scale = FrameScale();
  }
  FrameBufferCalls gl;
  if (width <= 0 || height <= 0 || !LoadCalls(gl)) return false;
  Frame.gl = gl;
  Frame.width = width;
  Frame.height = height;

  // Read back or copied into a texture, a colour buffer without alpha gives alpha 1, as the
  // window's own pixel format always did.
  glGenTextures(1, &Frame.colour);
  glBindTexture(GL_TEXTURE_2D, Frame.colour);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);

  gl.genRenderbuffers(1, &Frame.depthStencil);
  gl.bindRenderbuffer(GL_RENDERBUFFER, Frame.depthStencil);
  gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  gl.bindRenderbuffer(GL_RENDERBUFFER, 0);

  gl.genFramebuffers(1, &Frame.framebuffer);
  BindFrame();
  gl.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, Frame.colour, 0);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                             Frame.depthStencil);
  gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                             Frame.depthStencil);
  Frame.active = gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (!Frame.active) {
    DestroyShowFrame();
    return false;
  }
  glPushAttrib(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glPopAttrib();
  return true;
}

void DestroyShowFrame() {
  const FrameBufferCalls& gl = Frame.gl;
  if (gl.bindFramebuffer) gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
  if (Frame.framebuffer) gl.deleteFramebuffers(1, &Frame.framebuffer);
  if (Frame.depthStencil) gl.deleteRenderbuffers(1, &Frame.depthStencil);
  if (Frame.colour) glDeleteTextures(1, &Frame.colour);
  const bool blitAllowed = Frame.blitAllowed;
  Frame = FrameState{};
  Frame.blitAllowed = blitAllowed;
}

bool ShowFrameActive() { return Frame.active; }

void PresentShowFrame(int drawableWidth, int drawableHeight) {
  if (!Frame.active) return;
  const FrameBufferCalls& gl = Frame.gl;
  const PictureRect picture = FitPicture(Frame.width, Frame.height, drawableWidth, drawableHeight);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, drawableWidth, drawableHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (picture.width > 0) {
    if (gl.blitFramebuffer && Frame.blitAllowed) {
      gl.bindFramebuffer(GL_READ_FRAMEBUFFER, Frame.framebuffer);
      gl.blitFramebuffer(0, 0, DrawingWidth(), DrawingHeight(), picture.x, picture.y,
                         picture.x + picture.width, picture.y + picture.height,
                         GL_COLOR_BUFFER_BIT, GL_LINEAR);
    } else {
      DrawFrameQuad(picture);
    }
  }
  glPopAttrib();
  BindFrame();
}

void BindWindowFramebuffer(bool window) {
  if (!Frame.active) return;
  if (window)
    Frame.gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
  else
    BindFrame();
}

int ShowFrameWidth() { return SizedWidth; }
int ShowFrameHeight() { return SizedHeight; }
float FrameScale() { return static_cast<float>(SizedHeight) / DesignHeight; }

void SetDrawingScale(float scale) {
  const float whole = FrameScale();
  const float least = std::min(MinimumDrawingScale, whole);
  if (!(scale >= least)) scale = std::isnan(scale) ? whole : least;
  scale = std::min(scale, whole);
  if (scale == Scale) return;
  Scale = scale;
  SetDrawingViewport();
}

float DrawingScale() { return Scale; }
// The whole frame's own size at its own scale, so that a frame whose sides are not exactly 4:3
// (a picture fitted into an odd size) is drawn whole.
int DrawingWidth() {
  if (Scale == FrameScale()) return SizedWidth;
  return std::min(SizedWidth, static_cast<int>(std::lround(DesignWidth * Scale)));
}
int DrawingHeight() {
  if (Scale == FrameScale()) return SizedHeight;
  return std::min(SizedHeight, static_cast<int>(std::lround(DesignHeight * Scale)));
}
int ScaledPixels(float designPixels) {
  return std::max(1, static_cast<int>(std::lround(designPixels * Scale)));
}
void SetDrawingViewport() { glViewport(0, 0, DrawingWidth(), DrawingHeight()); }

void SetShowFrameBlit(bool allowed) { Frame.blitAllowed = allowed; }
