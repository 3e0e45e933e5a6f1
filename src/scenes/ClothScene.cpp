// Cloth scene: a cloth held over an environment-mapped model, released, dragged by its far
// corners, drawn textured and with a sphere-mapped sheen, behind faint bars and a flickering logo.
#include "scenes/ClothScene.h"

#include <algorithm>
#include <cmath>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Brush.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {

TCloth Cloth;
TOrvBrush Model;
TextureId ModelEnvironment = NoTexture;
TextureId ClothTexture = NoTexture;
TextureId ClothSheen = NoTexture;
TextureId LogoPicture = NoTexture;

void CreateSceneCloth() { Cloth.Create(20, 20, 1.0f, 1.0f, 200.0f, 0.7f); }

}  // namespace

Vector3 ClothEyePoint(float showTime) {
  Vector3 eye{-2.0f, 2.0f, 27.5f};
  RotateVector(eye, {0.0f, 0.0f, 40.0f * showTime});
  return eye;
}

float ClothBarY(int i, float showTime) {
  return static_cast<float>(300.0 + 250.0 * std::sin(312.0 * i + static_cast<double>(showTime)));
}

TCloth& SceneCloth() { return Cloth; }

namespace {
// The particles are what the cloth carries; its springs and sizes are loading's.
struct ClothParticles {
  std::vector<TClothParticle> particles;
  std::vector<TClothParticle> next;
};
}  // namespace

SceneState SaveClothScene() { return ClothParticles{Cloth.Particles, Cloth.NextParticles}; }

void RestoreClothScene(const SceneState& state) {
  const auto& saved = std::any_cast<const ClothParticles&>(state);
  Cloth.Particles = saved.particles;
  Cloth.NextParticles = saved.next;
}

int ClothModelMeshesDrawn() { return std::min(4, Model.MeshCount); }

void LoadClothScene() {
  CreateSceneCloth();
  // A missing or damaged surface has been reported; the cloth then falls without one.
  Cloth.LoadHitSurface("surface.hit");
  ModelEnvironment = LoadTexture("realityenv.jpg");
  ClothTexture = LoadTexture("hore1.jpg");
  ClothSheen = LoadTexture("conemetal.jpg");
  LogoPicture = LoadTexture("brasquel.jpg");
  // A model that cannot be read leaves the brush empty: the cloth falls without it.
  if (Model.TryLoadFile("dame.3ds")) Model.Rotate({0.0f, 0.0f, 0.0f});
}

// The loaded hit surface stays; only the sheet starts over.
void ResetClothScene() { CreateSceneCloth(); }

void AdvanceSceneCloth(float frameDelta, ClothCorners corners) {
  // The corners move with every step, so a long frame drags them as far as 60 short ones.
  const SimulationSteps steps = SplitFrame(frameDelta);
  const float damping = FactorForStep(Cloth.Damping, steps.length * 60.0f);
  for (int n = 0; n < steps.count; ++n) {
    switch (corners) {
      case ClothCorners::Held:
        break;
      case ClothCorners::Released:
        Cloth.ReleaseCorners();
        break;
      case ClothCorners::DraggedPinned:
        Cloth.PullFarCorners(steps.length * 6);
        break;
      case ClothCorners::DraggedFree:
        Cloth.PullFarCorners(steps.length * 4);
        Cloth.ReleaseCorners();
        break;
    }
    Cloth.Step(steps.length, damping);
    Cloth.ClampMinY(-15.0f);
    Cloth.CollideHitSurface();
    Cloth.CommitStep();
  }
  Cloth.ComputeNormals();
}

void DrawClothScene(float logoAlpha, ClothCorners corners) {
  StartSceneState();
  const Vector3 eye = ClothEyePoint(ShowTime);
  AdvanceSceneCloth(FrameDelta, corners);

  Begin2D();
  for (int i = 0; i <= 10; ++i)
    DrawRectAdditive({1.0f, 1.0f, 1.0f, 0.07f}, 0, ClothBarY(i, ShowTime), 800, 25);
  End2D();

  SetFieldOfView(45.0f);
  // Cloth space is z-up.
  LookAt(eye, {0.0f, 15.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
  glDisable(GL_LIGHTING);

  ResetMaterial();
  BindTexture(ModelEnvironment);
  EnableSphereMap();
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -0.5f);
  for (int i = 0; i < ClothModelMeshesDrawn(); ++i) Model.Mesh(i).DrawArrays();
  glPopMatrix();
  DisableSphereMap();
  // With the depth test off the cloth always covers the model.
  glDisable(GL_DEPTH_TEST);

  BindTexture(ClothTexture);
  Cloth.Draw();

  // The sheen: result = source + destination * source.
  BindTexture(ClothSheen);
  SetBlendAlphaAdd();
  glBlendFunc(GL_ONE, GL_SRC_COLOR);
  glColor4f(1.0f, 1.0f, 1.0f, 0.2f);
  EnableSphereMap();
  Cloth.Draw();
  DisableSphereMap();
  glEnable(GL_DEPTH_TEST);

  Begin2D();
  DrawImageAdditive(LogoPicture, {1.0f, 1.0f, 1.0f, logoAlpha}, 20, -175, 512, 512);
  End2D();
}
