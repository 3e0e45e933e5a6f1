// Light-cone scene: twelve swaying rings of lit, environment-mapped cones with glow sprites.
#include "scenes/LightConeScene.h"

#include <cmath>

#include "platform/GL.h"
#include "render/Brush.h"
#include "render/File3DS.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {
TOrvBrush Cone;
TextureId ConeTexture = NoTexture;
TextureId GlowTexture = NoTexture;
TextureId Backdrop = NoTexture;
TextureId Title = NoTexture;
Vector3 Eye{-200.0f, 650.0f, 800.0f};
Vector3 Centre{0.0f, 0.0f, 100.0f};
Vector3 Up{0.0f, 1.0f, 0.0f};
// The backdrop and the title over it, the same every frame: kept after the first frame drawn,
// it costs one plain copy instead of two blended layers (the backdrop a trilinear lookup).
StillLayer Background;

void DrawCone(const ColorRGBA& colour, float glowSize) {
  // The chrome body is environment-mapped, the cap takes the cone's colour; both are lit.
  BindTexture(ConeTexture);
  EnableSphereMap();
  Cone.Mesh(0).DrawArrays();
  DisableSphereMap();
  SetPlainColour(colour);
  Cone.Mesh(1).DrawArrays();

  // The glow is added over everything, lit with the cone's colour as its diffuse reflectance.
  BindTexture(GlowTexture);
  SetBlendAdd();
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glMaterialfv(GL_FRONT, GL_DIFFUSE, &colour.r);
  DrawBillboard({70.0f, 0.0f, 0.0f}, glowSize);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
}
}  // namespace

ColorRGBA LightConeColour(int ring, int cone, float t) {
  return {0.4f + 0.2f * std::sin(3.0f * static_cast<float>(ring + cone) + 3.0f * t), 0.5f, 0.9f,
          1.0f};
}

float LightConeGlowSize(int ring, float t) {
  return 60.0f + 60.0f * std::cos(static_cast<float>(ring) + 12.0f * t);
}

void LoadLightConeScene() {
  // An unreadable model leaves the brush empty; the rings go on with their glows alone.
  Cone.TryLoadFile("lightcone.3ds");
  ConeTexture = LoadTexture("Lightcrome.jpg");
  GlowTexture = LoadTexture("particle.jpg");
  Backdrop = LoadTexture("tivalen.jpg");
  Title = LoadTextureWithAlpha("tivalen_ih.jpg", "tivalen_ah.jpg");
  Eye = {-200.0f, 650.0f, 800.0f};
  Centre = {0.0f, 0.0f, 100.0f};
  Up = {0.0f, 1.0f, 0.0f};
  Background.Forget();
}

void DrawLightConeScene() {
  StartSceneState();
  const float t = ShowTime;
  BeginFrame();
  Begin2D();
  if (!Background.DrawKept()) {
    DrawPicture(Backdrop, 0.0f, 0.0f, 800.0f, 600.0f);
    DrawPicture(Title, -10.0f, 25.0f, 512.0f, 512.0f);
    Background.Keep();
  }
  End2D();

  LookAt(Eye, Centre, Up);
  SetCurrentLight(GL_LIGHT0);
  SetupDefaultLight();
  SetLightPosition({100.0f, 100.0f, 100.0f});
  ResetMaterial();

  glTranslatef(170.0f, 0.0f, 0.0f);
  for (int ring = 0; ring < LightConeRings; ++ring) {
    const float i = static_cast<float>(ring);
    glPushMatrix();
    glRotatef(100.0f * std::sin(2.0f * t + 0.2f * i), 0.0f, 0.0f, 1.0f);
    glTranslatef(60.0f, 0.0f, 150.0f * i - 1000.0f);
    const float distance = 100.0f + 60.0f * std::sin(6.0f * t + 0.3f * i);
    const float glowSize = LightConeGlowSize(ring, t);
    for (int cone = 0; cone < ConesPerRing; ++cone) {
      glPushMatrix();
      glRotatef(60.0f * static_cast<float>(cone), 0.0f, 0.0f, 1.0f);
      glTranslatef(0.0f, distance, 0.0f);
      DrawCone(LightConeColour(ring, cone, t), glowSize);
      glPopMatrix();
    }
    glPopMatrix();
  }
}
