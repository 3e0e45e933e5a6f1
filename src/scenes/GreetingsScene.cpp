// Greetings scene: sliding greetings, a spinning sculpture of cubes and its burst.
#include "scenes/GreetingsScene.h"

#include <algorithm>
#include <cmath>

#include "platform/GL.h"
#include "render/Brush.h"
#include "render/File3DS.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/GentleFlashes.h"
#include "timeline/PointField.h"
#include "timeline/ShowClock.h"

namespace {
TOrvBrush Cube;
TOrvBrush Sculpture;
TextureId Backdrop = NoTexture;
TextureId Greetings = NoTexture;
TextureId Veil = NoTexture;

// In gentle mode the burst's additive cubes, which sweep white over most of the screen several
// times a second as they fly past the camera, are added at this opacity instead of fully.
constexpr float GentleBurstOpacity = 0.3f;

// One cube at a position, scaled by k and turned 100 k degrees about x; the caller sets colour
// and blending.
void DrawCube(const TMeshDataNM& cube, const Vector3& at, float k) {
  glPushMatrix();
  glTranslatef(at.x, at.y, at.z);
  glScalef(k, k, k);
  glRotatef(100.0f * k, 1.0f, 0.0f, 0.0f);
  cube.DrawArrays();
  glPopMatrix();
}
}  // namespace

float GreetingsSlideX(float s) {
  // Before the scene clock starts the picture waits off screen instead of taking a NaN root.
  if (s < 2.0f) return 830.0f * std::sqrt(std::max(s, 0.0f) / 2.0f) - 800.0f;
  if (s <= 6.0f) return 30.0f;
  const float late = s - 6.0f;
  return 800.0f * late * late + 30.0f;
}

float SculptureCubeScale(const Vector3& v, float t) {
  return std::sin(0.02f * v.x + 3.0f * t) + std::sin(0.04f * v.y + 4.0f * t);
}

float BurstCubeScale(const Vector3& v, float s, float t) {
  return (s - 6.0f) * (std::sin(0.02f * v.x + 3.0f * t) + std::sin(0.04f * v.y + 4.0f * t) / 4.0f);
}

void LoadGreetingsScene() {
  Cube.TryLoadFile("cube.3ds");
  Cube.Scale({0.5f, 0.5f, 0.5f});
  Sculpture.TryLoadFile("geo.3ds");
  Backdrop = LoadTexture("_greet_background.jpg");
  Greetings = LoadTexture("_greet_text.jpg");
  Veil = LoadTexture("fitte.jpg");
}

void DrawGreetingsScene(float s, float p) {
  StartSceneState();
  const float t = ShowTime;
  const TMeshDataNM& cube = Cube.Mesh(0);
  const TMeshDataNM& sculpture = Sculpture.Mesh(0);
  const int vertexCount = sculpture.VertexCount;

  Begin2D();
  DrawPicture(Backdrop, 0.0f, 0.0f, 800.0f, 600.0f);
  const Vector3 shake = WanderOffset(100.0f * p);
  DrawImageAdditive(Greetings, {1.0f, 1.0f, 1.0f, 1.0f}, GreetingsSlideX(s) + shake.x,
                    300.0f + shake.y, 700.0f, 250.0f);
  End2D();

  LookAt({200.0f, 20.0f, 300.0f - 70.0f * std::sin(0.4f * t)}, {0.0f, 0.0f, 0.0f},
         {0.0f, 1.0f, 0.0f});
  SetCurrentLight(GL_LIGHT0);
  SetupDefaultLight();
  ResetMaterial();
  SetLightColours({1.0f, 1.0f, 1.0f, 1.0f}, {1.3f, 1.3f, 1.3f, 1.0f});
  SetLightPosition({200.0f, 200.0f, 200.0f});
  SetPlainColour({1.0f, 1.0f, 1.0f, 1.0f});

  // The last cube scale drawn; once the sculpture bursts it decides how far the next cube flies.
  float previousScale = 0.0f;
  if (s > 6.0f) {
    glPushMatrix();
    glScalef(120.0f, 120.0f, 120.0f);
    if (GentleMode) SetPlainColour({1.0f, 1.0f, 1.0f, GentleBurstOpacity});
    SetBlendAlphaAdd();
    glDisable(GL_DEPTH_TEST);
    for (int i = 0; i < vertexCount; ++i) {
      const Vector3& v = sculpture.Vertices[i];
      previousScale = BurstCubeScale(v, s, t);
      DrawCube(cube, v, previousScale);
    }
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
  }

  glTranslatef(0.0f, -65.0f, 0.0f);
  glRotatef(120.0f * t, std::sin(t), 1.0f, 0.0f);
  static const ColorRGBA blue{0.3f, 0.3f, 0.8f, 1.0f};
  static const ColorRGBA white{1.0f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < vertexCount; ++i) {
    const Vector3& v = sculpture.Vertices[i];
    SetPlainColour(i % 2 == 1 ? white : blue);
    const float spread = s > 6.0f ? 0.8f * (s - 6.0f) * previousScale : 1.0f;
    previousScale = SculptureCubeScale(v, t);
    DrawCube(cube, {spread * v.x, spread * v.y, spread * v.z}, previousScale);
  }

  Begin2D();
  DrawImageAdditive(Veil, {1.0f, 1.0f, 1.0f, 0.3f}, 400.0f * std::sin(0.3f * t) - 420.0f,
                    400.0f * std::sin(0.43f * t) - 420.0f, 2220.0f + 400.0f * std::sin(0.25f * t),
                    1920.0f + 400.0f * std::sin(0.33f * t));
  End2D();
}
