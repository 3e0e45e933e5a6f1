// The live mesh layers: ring, swarm, crowd and pillars, some fed back through LiveAssets.LayerCapture.
#include "live/LiveMeshLayers.h"

#include <algorithm>
#include <cmath>

#include "live/LiveAssets.h"
#include "live/LiveLayers.h"
#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Effects.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "timeline/Random.h"
#include "timeline/ShowClock.h"

LiveCameraState LiveCamera;

namespace {
void DrawModel(const TOrvBrush& brush) { brush.Mesh(0).DrawArrays(); }

// Unlit, additive, sphere-mapped swarm picture at the given strength, depth test off.
void BeginSphereMappedSwarm(float alpha) {
  DisableLighting();
  ResetMaterial();
  BindTexture(LiveAssets.SwarmPicture);
  SetBlendAlphaAdd();
  glColor4f(1, 1, 1, alpha);
  glDisable(GL_DEPTH_TEST);
  EnableSphereMap();
}
}  // namespace

void DrawRing() {
  const float wave = LiveWave(1);
  gluLookAt(30.0f * wave + 100.0f * std::sin(LiveCamera.Random), 20.0f * std::sin(ShowTime) * wave,
            800.0f * std::sin(2.4f * LiveCamera.Random + ShowTime) - 300.0f, 0, 0, 0, 0, 1, 0);
  BeginSphereMappedSwarm(0.3f);
  for (int n = 0; n <= 30; ++n) {
    glPushMatrix();
    glTranslatef(0, 0, 100.0f * static_cast<float>(n) - 1000.0f);
    glRotatef(90, 1, 0, 0);
    glRotatef(30.0f * wave, 0, 0, 1);
    glRotatef(60.0f * std::sin(0.6f * static_cast<float>(n) + ShowTime), 0, 1, 1);
    DrawModel(LiveAssets.SwarmBrush);
    glPopMatrix();
  }
  DisableSphereMap();
}

void DrawSwarm(float v) {
  SetFieldOfView(20.0f * v + 65.0f);
  LookAt(LiveCamera.Eye, LiveCamera.Centre, LiveCamera.Up);
  BeginSphereMappedSwarm(0.2f);
  for (int n = 0; n <= 10; ++n) {
    glPushMatrix();
    const float s = LiveWave(2) + 0.4f * static_cast<float>(n) + 1.5f;
    glScalef(s, s, s);
    glRotatef(600.0f * std::sin(std::sqrt(0.4f * static_cast<float>(n)) * 0.3f * ShowTime),
              std::sin(ShowTime), 0.1f * v, 0.3f);
    DrawModel(LiveAssets.SwarmBrush);
    glPopMatrix();
  }
  DisableSphereMap();
  SetFieldOfView(45);
}

void DrawSwarmTrail(float strength) {
  AdvanceLiveBeat();
  if (LiveBeat.Flag) {
    RandomVector(LiveCamera.Eye, 600, 600, 600);
    LiveBeat.Flag = false;
  }
  BeginRenderToTexture(LiveAssets.LayerCapture);
  DrawSwarm(strength);
  EndRenderToTexture(LiveAssets.LayerCapture);
  ZoomRotateFeedback(LiveAssets.LayerCapture, 3, 0.0f, 40.0f * strength + 40.0f, 3);
  BeginFrame();
  DrawSwarm(strength);
  Begin2D();
  DrawImageAdditive(LiveAssets.LayerCapture.texture, {1, 1, 1, strength}, 0, 0, 800, 600);
  DrawRectAdditive({0.6f * std::sin(2.0f * ShowTime), 0.6f * std::sin(ShowTime),
                    0.6f * std::sin(ShowTime), strength},
                   0, 0, 800, 600);
  End2D();
}

void DrawRingAndCrowd() {
  AdvanceLiveBeat();
  if (LiveBeat.Flag) {
    LiveCamera.Random = Random();
    LiveBeat.Flag = false;
  }
  BeginRenderToTexture(LiveAssets.LayerCapture);
  DrawRing();
  EndRenderToTexture(LiveAssets.LayerCapture);
  ZoomRotateFeedback(LiveAssets.LayerCapture, 3, 10.0f * std::sin(3.0f * ShowTime),
                     40.0f * LiveWave(1) + 30.0f, 3);
  Begin2D();
  DrawPicture(LiveAssets.LayerCapture.texture, 0, 0, 800, 600);
  End2D();
  DrawRing();

  glLoadIdentity();
  gluLookAt(-400, 400, 400, 0, 0, 0, 0, 1, 0);
  const float w = std::clamp(LiveWave(1), 0.0f, 1.0f);
  const float q = w * w * w * w;
  SetPlainColour({1.0f - std::sin(ShowTime) * q / 3.0f, 1.0f, 1.0f - q / 3.0f, 0.5f});
  ResetMaterial();
  glDisable(GL_LIGHTING);
  SetBlendAlpha();
  glEnable(GL_DEPTH_TEST);
  for (int n = 0; n <= 300; ++n) {
    const float fn = static_cast<float>(n);
    const float root = std::sqrt(fn);
    glPushMatrix();
    glRotatef(ShowTime, fn, 1, 1);
    glScalef(root * std::sin(ShowTime + fn), root * std::sin(0.8f * ShowTime + fn),
             root * std::sin(0.7f * ShowTime + fn));
    glTranslatef(250.0f * std::sin(ShowTime + fn), 280.0f * std::sin(0.57f * fn * ShowTime),
                 280.0f * std::sin(1.4f * ShowTime + 5.0f * fn));
    DrawModel(LiveAssets.CrowdBrush);
    glPopMatrix();
  }
  DisableSphereMap();
  Begin2D();
  DrawRectAdditive({0.8f, 1.6f + 0.8f * std::sin(9.0f * ShowTime), 0.8f, LiveWave(1) * LiveWave(2)},
                   0, 0, 800, 600);
  End2D();
}

void DrawRingsAndPillars() {
  SetFieldOfView(140);
  gluLookAt(40.0f * std::sin(ShowTime), 10.0f * std::sin(ShowTime), 40.0f * std::cos(0.9f * ShowTime),
            0, 0, 0, 0, 1, 0);
  SetCurrentLight(GL_LIGHT0);
  SetupDefaultLight();
  ResetMaterial();
  BindTexture(LiveAssets.RingPicture);
  SetBlendAdd();
  glDisable(GL_DEPTH_TEST);
  for (int k = 0; k <= 4; ++k) {
    glPushMatrix();
    const float s = 1.0f + 0.4f * static_cast<float>(k);
    glScalef(s, s, s);
    DrawModel(LiveAssets.RingBrush);
    glPopMatrix();
  }

  glEnable(GL_DEPTH_TEST);
  glPushMatrix();
  glTranslatef(-60, 0, -60);
  for (int i = 0; i <= 5; ++i)
    for (int j = 0; j <= 5; ++j) {
      const float fi = static_cast<float>(i);
      const float fj = static_cast<float>(j);
      float e = std::sin(8.0f * fj + 5.8f * ShowTime) + std::sin(8.0f * fi + 5.4f * ShowTime);
      if (e > 1) e = std::fabs(LiveWave(1)) * 40.0f;
      const float f = 5.0f * std::sin(fj * ShowTime * 0.8f) + e + 5.0f * std::sin(fi * ShowTime) * LiveWave(2);
      glPushMatrix();
      glTranslatef(20.0f * fi, 0, 20.0f * fj);
      BindTexture(LiveAssets.PillarPicture);
      EnableSphereMap();
      glPushMatrix();
      glTranslatef(0, 40.0f - f, 0);
      DrawModel(LiveAssets.PillarBrush);
      glPopMatrix();
      glPushMatrix();
      glTranslatef(0, f - 40.0f, 0);
      glRotatef(180, 1, 0, 0);
      DrawModel(LiveAssets.PillarBrush);
      glPopMatrix();
      // The pair glows only while it is nearly closed; the opacity above 1 is clamped by GL.
      if (f > 30) {
        glDisable(GL_DEPTH_TEST);
        BindTexture(LiveAssets.GlowPicture);
        SetBlendAlphaAdd();
        glColor4f(0.6f, 0.8f + 0.2f * std::sin(fi * fj + ShowTime), 0.6f, (f - 20.0f) / 10.0f);
        DrawBillboard({0, 0, 0}, 100);
      }
      glDepthMask(GL_TRUE);
      glEnable(GL_DEPTH_TEST);
      glPopMatrix();
    }
  glPopMatrix();
  SetFieldOfView(45);
}
