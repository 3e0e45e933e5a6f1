// Domino scene: a winding line of dominoes toppling over a reflecting floor, rendered four times.
#include "scenes/DominoScene.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

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
#include "render/Visibility.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {
// The ghosts are seen at the sharpness of a 256-pixel square over the 800 x 600 frame; their
// capture is that much larger as it must see wider, up to the texture's side. Both scale with
// the drawing.
constexpr int GhostSize = 256;
constexpr int CaptureSize = 512;
// The ghosts: three copies of the scene, each seen with the camera rolled a little further.
constexpr int Ghosts = 3;
constexpr float FieldOfView = 105.0f;
// Linear fog turns everything from this eye depth on into its black.
constexpr float FogEnd = 200.0f;

TOrvBrush Domino;
TextureId DominoTexture = NoTexture;
TextureId FloorTexture = NoTexture;
TextureId ArrowTexture = NoTexture;
TextureId LogoPicture = NoTexture;
// One capture of the scene, seen wider than the frame so that every ghost's roll stays in it.
RenderTexture Capture{CaptureSize};
// The three ghosts summed, at the sharpness they are seen at.
RenderTexture GhostSum{GhostSize};
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
// The domino model's box, taken once the model is loaded and scaled.
Bounds DominoBounds;
// The model is a closed solid: its faces wound outward, so that back faces can be culled (half
// the triangles, the same pixels). Empty when the model is not a closed solid; then every face
// is drawn as the file has it.
std::vector<MeshFace> OutwardDominoFaces;

// One domino in its caller's matrix bracket: placed along the snaking line, then tipped over.
// A domino outside the view, or wholly in the fog's black, is not sent: whatever lies behind
// it along the same rays is as far and as black, so drawing it would not change a pixel.
void DrawDomino(const TMeshDataNM& mesh, const MeshFace* faces, int index, float x) {
  const float along = static_cast<float>(index) / 5.0f;
  glTranslatef(30.0f * std::sin(along), 0.0f, 6.0f * static_cast<float>(index));
  glRotatef(30.0f * std::cos(along), 0.0f, 1.0f, 0.0f);
  glRotatef(DominoTilt(index, x), 1.0f, 0.0f, 0.0f);
  const BoxSight sight = SeeBox(DominoBounds.lo, DominoBounds.hi, FogEnd);
  if (sight.outsideView || sight.beyondFog) return;
  glDrawElements(GL_TRIANGLES, 3 * mesh.FaceCount, GL_UNSIGNED_INT, faces);
}

// The line of dominoes, or its reflection under the floor. The mirror turns every face's
// winding over, so the reflection's front faces are the clockwise ones.
void DrawLine(const TMeshDataNM& mesh, float x, bool mirrored) {
  if (mesh.FaceCount <= 0 || DrawingUnseen()) return;
  const bool cull = !OutwardDominoFaces.empty();
  if (cull) {
    glFrontFace(mirrored ? GL_CW : GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
  }
  const MeshFace* faces = cull ? OutwardDominoFaces.data() : mesh.Faces.data();
  mesh.EnableArrays();
  for (int i = 0; i < DominoCount; ++i) {
    glPushMatrix();
    if (mirrored) glScalef(1.0f, -1.0f, 1.0f);
    DrawDomino(mesh, faces, i, x);
    glPopMatrix();
  }
  // Switched off again so that no later indexed draw reads the domino's arrays.
  TMeshDataN::DisableArrays();
  glDisable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
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

// The scene through the camera with the given up vector; wider by the factor zoom than the
// frame's field of view.
void DrawPass(const Vector3& up, float x, float zoom) {
  SetFieldOfView(FieldOfView);
  if (zoom != 1.0f) {
    glMatrixMode(GL_PROJECTION);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    projection[0] /= zoom;
    projection[5] /= zoom;
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
  }
  BeginFrame();  // clears the whole window: only the last pass stays on screen
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
}

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The camera's right and up axes for an up vector, as LookAt builds them.
void CameraAxes(float x, const Vector3& up, Vector3& right, Vector3& upright) {
  Vector3 forward;
  ScaleVector(DominoEye(x), forward, -1.0f);
  AddVectors(DominoCentre(x), forward, forward);
  CrossProduct(forward, up, right);
  Normalize(right);
  CrossProduct(right, forward, upright);
  Normalize(upright);
}

// For each ghost, the map from its own frame (x and y from -1 to 1) to where the same view
// direction lies in the capture seen with the frame's up vector: a roll of the camera about its
// line of sight turns the picture about its centre, in the frame's 4:3 units. Returns how much
// wider than the frame the capture must see so that every ghost stays inside it; ghostSide is
// the side in pixels of the texture the ghosts are summed in.
float GhostTurns(float x, const Vector3 (&ups)[Ghosts], const Vector3& frameUp, int ghostSide,
                 float (&turns)[Ghosts][4]) {
  const float focal = 1.0f / std::tan(0.5f * FieldOfView * 3.14159265f / 180.0f);
  const float aspect = static_cast<float>(ActiveWindow.Width) / static_cast<float>(ActiveWindow.Height);
  // Projection scales along x and y.
  const float px = focal / aspect, py = focal;
  Vector3 right, upright;
  CameraAxes(x, frameUp, right, upright);
  float zoom = 1.0f;
  for (int g = 0; g < Ghosts; ++g) {
    Vector3 ghostRight, ghostUp;
    CameraAxes(x, ups[g], ghostRight, ghostUp);
    float* turn = turns[g];
    turn[0] = Dot(ghostRight, right);
    turn[1] = Dot(ghostUp, right) * px / py;
    turn[2] = Dot(ghostRight, upright) * py / px;
    turn[3] = Dot(ghostUp, upright);
    zoom = std::max({zoom, std::fabs(turn[0]) + std::fabs(turn[1]),
                     std::fabs(turn[2]) + std::fabs(turn[3])});
  }
  // A texel to spare at the edges, so that filtering never reaches the wrapped-round side.
  zoom *= 1.0f + 2.0f / static_cast<float>(ghostSide);
  for (float(&turn)[4] : turns)
    for (float& entry : turn) entry /= zoom;
  return zoom;
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
SceneState SaveDominoScene() { return RollVector; }
void RestoreDominoScene(const SceneState& state) { RollVector = std::any_cast<Vector3>(state); }

void LoadDominoScene() {
  // An unreadable model leaves the brush empty; the floor and overlays still draw.
  Domino.TryLoadFile("domino.3ds");
  Domino.Scale({0.13f, 0.13f, 0.13f});
  DominoBounds = MeshBounds(std::as_const(Domino).Mesh(0));
  OutwardFacesOfClosedSolid(std::as_const(Domino).Mesh(0), OutwardDominoFaces);
  DominoTexture = LoadTexture("testb.jpg");
  FloorTexture = LoadTexture("gloors.jpg");
  LoadTexture("particle.jpg");  // cached already by the light-cone scene; not drawn here
  ArrowTexture = LoadTextureWithAlpha("spinarrow_b.jpg", "spinarrow_a.jpg");
  LogoPicture = LoadTexture("pwned.jpg");
  CreateRenderTexture(Capture);
  CreateRenderTexture(GhostSum);
  ResetDominoScene();
}

void AdvanceDominoScene() { TurnRollVector(RollVector, FrameDelta); }
void ResetDominoScene() { RollVector = {0.0f, 1.0f, 0.0f}; }

void DrawDominoScene(float x) {
  StartSceneState();
  AdvanceDominoScene();
  static const Vector3 rollOffsets[Ghosts + 1] = {
      {0.2f, 0.0f, 0.0f}, {-0.2f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.2f}, {0.0f, 0.0f, -0.2f}};
  Vector3 ups[Ghosts], frameUp;
  for (int g = 0; g < Ghosts; ++g) AddVectors(RollVector, rollOffsets[g], ups[g]);
  AddVectors(RollVector, rollOffsets[Ghosts], frameUp);

  // The ghosts differ from the frame only by a roll about the line of sight, so one small
  // capture seen a little wider gives all three, turned.
  const int ghostSide = FollowDrawingScale(GhostSum);
  const int captureSide = FollowDrawingScale(Capture);
  float turns[Ghosts][4];
  const float zoom = GhostTurns(x, ups, frameUp, ghostSide, turns);
  const int side =
      std::min(captureSide, static_cast<int>(std::ceil(static_cast<float>(ghostSide) * zoom)));
  BeginRenderToTexture(side);
  DrawPass(frameUp, x, zoom);
  EndRenderToTexture(Capture.texture, side);
  // Summed in a small square first, so that the full frame takes them as one plain layer.
  BeginRenderToTexture(GhostSum);
  glClear(GL_COLOR_BUFFER_BIT);
  Begin2D();
  const float extent = static_cast<float>(side) / static_cast<float>(std::max(captureSide, 1));
  DrawTurnedCopiesAdditive(Capture.texture, extent, turns, Ghosts, {1.0f, 1.0f, 1.0f, 0.3f}, 0.0f,
                           0.0f, static_cast<float>(ActiveWindow.Width),
                           static_cast<float>(ActiveWindow.Height));
  End2D();
  EndRenderToTexture(GhostSum);
  SoftenAsAtDesignSide(GhostSum);
  DrawPass(frameUp, x, 1.0f);

  // The three small ghosts are stretched over the full-size frame for a soft ghosting.
  const float logoAlpha = 0.8f + 0.2f * std::sin(10.0f * x);
  Begin2D();
  DrawImageAdditive(GhostSum.texture, {1.0f, 1.0f, 1.0f, 1.0f}, 0.0f, 0.0f, 800.0f, 600.0f);
  DrawImageAdditive(LogoPicture, {1.0f, 1.0f, 1.0f, logoAlpha}, -100.0f, -100.0f, 512.0f, 512.0f);
  // Drawn in the colour the logo left current.
  DrawSpriteBlended(ArrowTexture, 307.0f, 177.0f, 75.0f, 86.0f, 300.0f * x);
  End2D();
}
