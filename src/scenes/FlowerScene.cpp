// Flower scene: two additive, environment-mapped flowers with a blurred glow over a 190-degree backdrop.
#include "scenes/FlowerScene.h"

#include <cmath>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Brush.h"
#include "render/Effects.h"
#include "render/File3DS.h"
#include "render/Mesh.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {

// The glow's side in pixels of the 800 x 600 design.
constexpr int GlowSize = 128;

struct FlowerState {
  TOrvBrush flower;
  TOrvBrush backdrop;
  TextureId flowerTextureA = NoTexture;
  TextureId flowerTextureB = NoTexture;
  TextureId overlayPicture = NoTexture;
  TextureId title = NoTexture;
  RenderTexture glow{GlowSize};
  Vector3 eye = FlowerEyeStart;
  Vector3 glowEye = FlowerEyeStart;  // the eye of the frame's first (glow) pass
};
FlowerState Flower;

// Both flowers, additive and sphere-mapped, seen from eye.
void DrawFlowerPass(float t, const Vector3& eye) {
  SetFieldOfView(60);
  glLoadIdentity();
  LookAt(eye, Vector3{100, 0, 0}, Vector3{0, 1, 0});
  const TMeshDataNM& flower = Flower.flower.Mesh(0);

  // One flower, additive and sphere-mapped, offset along x and turned about y.
  const auto drawFlower = [&](TextureId texture, float offsetX, float angle) {
    glPushMatrix();
    glDisable(GL_LIGHTING);
    BindTexture(texture);
    if (offsetX != 0) glTranslatef(offsetX, 0, 0);
    glRotatef(angle, 0, 1, 0);
    SetBlendAdd();
    glDisable(GL_DEPTH_TEST);
    EnableSphereMap();
    flower.DrawArrays();
    DisableSphereMap();
    glPopMatrix();
  };
  drawFlower(Flower.flowerTextureA, 0, 50 * t);
  drawFlower(Flower.flowerTextureB, 200, 30 - 50 * t);

  SetFieldOfView(45);
}

}  // namespace

void TurnFlowerEye(Vector3& eye, float t, float dt) {
  const double s = t;
  RotateVector(eye, Vector3{static_cast<float>(4.0 * dt * std::sin(s)),
                            static_cast<float>(9.0 * dt * std::sin(1.3 * s)), 21.0f * dt});
}

Vector3 FlowerSceneEye() { return Flower.eye; }

namespace {
struct FlowerEyes {
  Vector3 eye;
  Vector3 glowEye;
};
}  // namespace

SceneState SaveFlowerScene() { return FlowerEyes{Flower.eye, Flower.glowEye}; }

void RestoreFlowerScene(const SceneState& state) {
  const auto& eyes = std::any_cast<const FlowerEyes&>(state);
  Flower.eye = eyes.eye;
  Flower.glowEye = eyes.glowEye;
}

void LoadFlowerScene() {
  Flower.flower.TryLoadFile("flower.3ds");
  Flower.backdrop.TryLoadFile("geo3.3ds");
  // The backdrop repeats its texture five times across the model.
  ScaleTexCoords(Flower.backdrop.Mesh(0), 5, 5);
  Flower.flowerTextureA = LoadTexture("lazer.jpg");
  Flower.flowerTextureB = LoadTexture("3.jpg");
  LoadTexture("6.jpg");
  Flower.overlayPicture = LoadTexture("us_b.jpg");
  Flower.title = LoadTexture("engineering.jpg");
  Flower.flowerTextureB = LoadTexture("3.jpg");
  CreateRenderTexture(Flower.glow);
  ResetFlowerScene();
}

// The eye turns once per pass, twice a frame: the glow pass sees the first turn.
void AdvanceFlowerScene() {
  TurnFlowerEye(Flower.eye, ShowTime, FrameDelta);
  Flower.glowEye = Flower.eye;
  TurnFlowerEye(Flower.eye, ShowTime, FrameDelta);
}

void ResetFlowerScene() { Flower.eye = Flower.glowEye = FlowerEyeStart; }

void DrawFlowerScene() {
  StartSceneState();
  const float t = ShowTime;
  AdvanceFlowerScene();

  // The glow: the flowers drawn small into the block the frame start cleared, then blurred.
  BeginRenderToTexture(Flower.glow);
  DrawFlowerPass(t, Flower.glowEye);
  EndRenderToTexture(Flower.glow);
  BlurTexture(Flower.glow, 5);

  BeginFrame();
  glDisable(GL_DEPTH_TEST);
  // Beyond 180 degrees the projection's scale turns negative: an extremely wide view turned over.
  SetFieldOfView(190);
  BindTexture(Flower.flowerTextureB);
  SetBlendAdd();
  WithFullSizePicture(Flower.flowerTextureB, [&] {
    glPushMatrix();
    glRotatef(100 * t, 1.1f, 1.2f, 1.3f);
    Flower.backdrop.Mesh(0).DrawArrays();
    glPopMatrix();
  });

  Begin2D();
  DrawRect(ColorRGBA{0, 0, 0, 0.6f}, 0, 0, 800, 600);
  End2D();

  DrawFlowerPass(t, Flower.eye);

  Begin2D();
  DrawImage(Flower.glow.texture, ColorRGBA{1, 1, 1, 0.7f}, 0, 0, 800, 600);
  WithFullSizePicture(Flower.overlayPicture, [] {
    DrawImageAdditive(Flower.overlayPicture, ColorRGBA{1, 1, 1, 1}, 0, 0, 800, 600);
  });
  WithFullSizePicture(Flower.title,
                      [] { DrawImageAdditive(Flower.title, ColorRGBA{1, 1, 1, 1}, 288, 235, 512, 512); });
  End2D();
}
