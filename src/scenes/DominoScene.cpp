// Domino scene: a winding line of dominoes toppling over a reflecting floor, rendered four times.
#include "scenes/DominoScene.h"

#include <algorithm>
#include <cmath>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Brush.h"
#include "render/Effects.h"
#include "render/File3DS.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "render/Visibility.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {
constexpr int CaptureSize = 256;
constexpr int CapturedPasses = 3;
// Linear fog turns everything from this eye depth on into its black.
constexpr float FogEnd = 200.0f;

TOrvBrush Domino;
TextureId DominoTexture = NoTexture;
TextureId FloorTexture = NoTexture;
TextureId ArrowTexture = NoTexture;
TextureId LogoPicture = NoTexture;
TextureId Captures[CapturedPasses] = {NoTexture, NoTexture, NoTexture};
// Turned a little every drawn frame and kept across visits, so the camera keeps rolling from one
// visit to the next; ResetDominoScene puts it upright again for a new pass of the show.
Vector3 RollVector{0.0f, 1.0f, 0.0f};

// The corners of the box around a model.
struct Bounds {
  Vector3 lo, hi;
};

Bounds MeshBounds(const TMeshData& mesh) {
  Bounds box;
  for (int i = 0; i < mesh.VertexCount; ++i) {
    const Vector3& v = mesh.Vertices[static_cast<size_t>(i)];
    if (i == 0) box.lo = box.hi = v;
    box.lo = {std::min(box.lo.x, v.x), std::min(box.lo.y, v.y), std::min(box.lo.z, v.z)};
    box.hi = {std::max(box.hi.x, v.x), std::max(box.hi.y, v.y), std::max(box.hi.z, v.z)};
  }
  return box;
}

// One domino in its caller's matrix bracket: placed along the snaking line, then tipped over.
// A domino outside the view, or wholly in the fog's black, is not sent: whatever lies behind
// it along the same rays is as far and as black, so drawing it would not change a pixel.
void DrawDomino(const TMeshDataNM& mesh, const Bounds& box, int index, float x) {
  const float along = static_cast<float>(index) / 5.0f;
  glTranslatef(30.0f * std::sin(along), 0.0f, 6.0f * static_cast<float>(index));
  glRotatef(30.0f * std::cos(along), 0.0f, 1.0f, 0.0f);
  glRotatef(DominoTilt(index, x), 1.0f, 0.0f, 0.0f);
  const BoxSight sight = SeeBox(box.lo, box.hi, FogEnd);
  if (sight.outsideView || sight.beyondFog) return;
  mesh.DrawArrays();
}

void DrawLine(const TMeshDataNM& mesh, float x, bool mirrored) {
  const Bounds box = MeshBounds(mesh);
  for (int i = 0; i < DominoCount; ++i) {
    glPushMatrix();
    if (mirrored) glScalef(1.0f, -1.0f, 1.0f);
    DrawDomino(mesh, box, i, x);
    glPopMatrix();
  }
}

// 21 x 81 tiles of 20 x 20 units, each carrying the whole texture; blended so that the floor
// brightens the reflections under it instead of covering them. Tiles outside the view or wholly
// in the fog's black add nothing and are left out.
void DrawFloor() {
  BindTexture(FloorTexture);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
  if (DrawingUnseen()) {
    // No tile is sent; the current normal and texture coordinate end as the last tile's do.
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glDisable(GL_BLEND);
    return;
  }
  const SightTest sight(FogEnd);
  glBegin(GL_QUADS);
  for (int a = -10; a <= 10; ++a) {
    for (int b = -25; b <= 55; ++b) {
      const float x0 = static_cast<float>(a - 1) * 20.0f, x1 = static_cast<float>(a) * 20.0f;
      const float z0 = static_cast<float>(b - 1) * 20.0f, z1 = static_cast<float>(b) * 20.0f;
      const BoxSight tile = sight.See({x0, 0.0f, z0}, {x1, 0.0f, z1});
      if (tile.outsideView || tile.beyondFog) continue;
      glNormal3f(0.0f, 1.0f, 0.0f);
      glTexCoord2f(0.0f, 0.0f);
      glVertex3f(x0, 0.0f, z0);
      glTexCoord2f(1.0f, 0.0f);
      glVertex3f(x1, 0.0f, z0);
      glTexCoord2f(1.0f, 1.0f);
      glVertex3f(x1, 0.0f, z1);
      glTexCoord2f(0.0f, 1.0f);
      glVertex3f(x0, 0.0f, z1);
    }
  }
  glEnd();
  // The current normal and texture coordinate end as the last tile's would have.
  glNormal3f(0.0f, 1.0f, 0.0f);
  glTexCoord2f(0.0f, 1.0f);
  glDisable(GL_BLEND);
}

void DrawPass(int pass, float x) {
  static const Vector3 rollOffsets[4] = {
      {0.2f, 0.0f, 0.0f}, {-0.2f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.2f}, {0.0f, 0.0f, -0.2f}};
  const bool captured = pass < CapturedPasses;
  if (captured) BeginRenderToTexture(CaptureSize);
  SetFieldOfView(105.0f);
  BeginFrame();  // clears the whole window: only the last pass stays on screen

  Vector3 up;
  AddVectors(RollVector, rollOffsets[pass], up);
  LookAt(DominoEye(x), DominoCentre(x), up);

  SetCurrentLight(GL_LIGHT0);
  SetupDefaultLight();
  SetLightPosition({1.0f, 20.0f + std::sin(10.0f * x), 10.0f + 60.0f * x});
  SetLightColours({1.0f, 1.0f, 1.0f, 1.0f}, {1.7f, 1.5f, 1.2f, 1.0f});
  EnableFog({0.0f, 0.0f, 0.0f, 1.0f}, 0, 4.0f, 100.0f, 200.0f);

  const TMeshDataNM& mesh = Domino.Mesh(0);
  BindTexture(DominoTexture);
  DrawLine(mesh, x, true);
  DrawFloor();
  BindTexture(DominoTexture);
  DrawLine(mesh, x, false);

  if (captured) EndRenderToTexture(Captures[pass], CaptureSize);
}
}  // namespace

float DominoTilt(int index, float x) {
  const float tilt = 20.0f * (10.0f * x - static_cast<float>(index));
  return std::clamp(tilt, 0.0f, 70.0f);
}

Vector3 DominoEye(float x) {
  const float s = std::sin(x);
  return {20.0f * s, 20.0f + 15.0f * s, 56.0f * x};
}

Vector3 DominoCentre(float x) { return {10.0f, 0.0f, 63.0f * x}; }

void TurnRollVector(Vector3& roll, float dt) {
  RotateVector(roll, {0.0f, 20.0f * dt, 80.0f * dt});
}

Vector3 DominoRollVector() { return RollVector; }
void SetDominoRollVector(const Vector3& roll) { RollVector = roll; }

void LoadDominoScene() {
  // An unreadable model leaves the brush empty; the floor and overlays still draw.
  Domino.TryLoadFile("domino.3ds");
  Domino.Scale({0.13f, 0.13f, 0.13f});
  DominoTexture = LoadTexture("testb.jpg");
  FloorTexture = LoadTexture("gloors.jpg");
  LoadTexture("particle.jpg");  // cached already by the light-cone scene; not drawn here
  ArrowTexture = LoadTextureWithAlpha("spinarrow_b.jpg", "spinarrow_a.jpg");
  LogoPicture = LoadTexture("pwned.jpg");
  for (TextureId& capture : Captures) capture = CreateRenderTexture(CaptureSize);
  ResetDominoScene();
}

void AdvanceDominoScene() { TurnRollVector(RollVector, FrameDelta); }
void ResetDominoScene() { RollVector = {0.0f, 1.0f, 0.0f}; }

void DrawDominoScene(float x) {
  StartSceneState();
  AdvanceDominoScene();
  for (int pass = 0; pass < 4; ++pass) DrawPass(pass, x);

  // The three small captures are stretched over the full-size last pass for a soft ghosting.
  const float logoAlpha = 0.8f + 0.2f * std::sin(10.0f * x);
  Begin2D();
  DrawImagesAdditive(Captures, CapturedPasses, {1.0f, 1.0f, 1.0f, 0.3f}, 0.0f, 0.0f, 800.0f,
                     600.0f);
  DrawImageAdditive(LogoPicture, {1.0f, 1.0f, 1.0f, logoAlpha}, -100.0f, -100.0f, 512.0f, 512.0f);
  // Drawn in the colour the logo left current.
  DrawSpriteBlended(ArrowTexture, 307.0f, 177.0f, 75.0f, 86.0f, 300.0f * x);
  End2D();
}
