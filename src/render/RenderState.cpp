// Render-state operations with exactly the GL calls the drawers rely on.
#include "render/RenderState.h"

#include <cstdlib>

#include "platform/GL.h"
#include "platform/ShowFrame.h"
#include "platform/Window.h"
#include "render/Shader.h"

namespace {
const GLfloat DefaultAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
const GLfloat DefaultDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
const GLfloat DefaultSpecular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const GLfloat DefaultEmission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const GLfloat PlainColourAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
}  // namespace

namespace {
// Between BeginHiddenDrawing and EndHiddenDrawing: the scissor box is empty.
bool DrawingHidden = false;
}  // namespace

void BeginFrame() {
  // Whatever write masks the last drawing left, the clear reaches every channel and the depth.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  // Drawn smaller than the frame (the player's dynamic resolution), only the drawing's corner is
  // ever read or shown: the clear stays there, so that a processor-based renderer does not clear
  // the whole of a screen-sized frame for a small drawing, pass after pass. (Hidden drawing's
  // empty scissor box stays as it is.)
  if ((DrawingWidth() < ShowFrameWidth() || DrawingHeight() < ShowFrameHeight()) && !DrawingHidden) {
    glScissor(0, 0, DrawingWidth(), DrawingHeight());
    glEnable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  } else {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void SetBlendAdd() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
}

void SetBlendAlphaAdd() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void SetBlendAlpha() {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void EnableSphereMap() {
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
}

void DisableSphereMap() {
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

void ResetMaterial() {
  glDisable(GL_COLOR_MATERIAL);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, DefaultAmbient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, DefaultDiffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, DefaultSpecular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, DefaultEmission);
}

void ResetSurfaceState() {
  DisableSphereMap();
  // The colour-material round trip only leaves a white current colour: ResetMaterial rewrites
  // whatever it put into the material.
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(1, 1, 1, 1);
  glDisable(GL_COLOR_MATERIAL);
  ResetMaterial();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
}

void SetPlainColour(const ColorRGBA& colour) {
  const GLfloat rgba[4] = {colour.r, colour.g, colour.b, colour.a};
  DisableSphereMap();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, rgba);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, PlainColourAmbient);
  glColor4fv(rgba);
}

void RestorePerspective() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // The aspect is fixed at 4:3 whatever the window's shape.
  gluPerspective(45.0, 4.0 / 3.0, 1.0, PerspectiveFarDistance);
  glMatrixMode(GL_MODELVIEW);
}

void PushIdentityMatrices() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void PopIdentityMatrices() {
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

void StartSceneState() {
  // First, so that the texture state below is unit 0's.
  glActiveTexture(GL_TEXTURE0);
  SetDrawingViewport();
  RestorePerspective();
  glLoadIdentity();
  glClearColor(0, 0, 0, 1);
  glDisable(GL_LIGHTING);
  // Normals are normalised after the modelview (sphere maps of scaled models depend on it).
  glEnable(GL_NORMALIZE);
  ResetMaterial();
  SetPlainColour({1, 1, 1, 1});
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glDisable(GL_FOG);
  // Blending is off (above) with GL's own function; a drawer that blends chooses its function.
  glBlendFunc(GL_ONE, GL_ZERO);
  // Both windings drawn, filled; the drawers that cull choose the face they cull.
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_ALPHA_TEST);
  glAlphaFunc(GL_ALWAYS, 0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  EndProgram();
  // Square points and lines one pixel of the 800 x 600 picture across.
  glDisable(GL_POINT_SMOOTH);
  glPointSize(DrawingScale());
  glLineWidth(DrawingScale());
  // No vertex arrays and no buffer behind them.
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void BeginHiddenDrawing() {
  glScissor(0, 0, 0, 0);
  glEnable(GL_SCISSOR_TEST);
  DrawingHidden = true;
}

void EndHiddenDrawing() {
  glDisable(GL_SCISSOR_TEST);
  DrawingHidden = false;
}

namespace {
#ifndef GL_RASTERIZER_DISCARD
#define GL_RASTERIZER_DISCARD 0x8C89
#endif
bool Unseen = false;
bool Remembered = false;
GLfloat RememberedMatrices[3][16] = {};
constexpr GLenum MatrixModes[3] = {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE};
constexpr GLenum MatrixReads[3] = {GL_PROJECTION_MATRIX, GL_MODELVIEW_MATRIX, GL_TEXTURE_MATRIX};

bool CanDiscard() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version && std::atoi(version) >= 3;
}
}  // namespace

void BeginUnseenFrames() {
  if (CanDiscard()) glEnable(GL_RASTERIZER_DISCARD);
  Unseen = true;
}

void EndUnseenFrames() {
  if (CanDiscard()) glDisable(GL_RASTERIZER_DISCARD);
  Unseen = false;
}

bool DrawingUnseen() { return Unseen; }

void RememberRenderState() {
  if (Remembered) {
    glPopClientAttrib();
    glPopAttrib();
  }
  for (int i = 0; i < 3; ++i) glGetFloatv(MatrixReads[i], RememberedMatrices[i]);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  Remembered = true;
}

void RestoreRememberedState() {
  if (!Remembered) return;
  // Popped and pushed again: the stacks keep the remembered state for the next time.
  glPopClientAttrib();
  glPopAttrib();
  GLint mode = GL_MODELVIEW;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  for (int i = 0; i < 3; ++i) {
    glMatrixMode(MatrixModes[i]);
    glLoadMatrixf(RememberedMatrices[i]);
  }
  glMatrixMode(static_cast<GLenum>(mode));
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}
