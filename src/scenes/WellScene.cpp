// Well scene: a circling camera looking down a shaft past scrolling rings at a spiked, wobbling blob.
#include "scenes/WellScene.h"

#include <cmath>
#include <vector>

#include "platform/GL.h"
#include "platform/Window.h"
#include "render/Brush.h"
#include "render/DeformBrush.h"
#include "render/File3DS.h"
#include "render/Mesh.h"
#include "render/Overlay.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"
#include "scenes/Scenes.h"
#include "timeline/ShowClock.h"

namespace {

struct WellState {
  TOrvBrush rings;
  TOrvBrush room;
  TextureId ringTexture = NoTexture;
  TextureId roomTexture = NoTexture;
  TextureId cornerPicture = NoTexture;
  TextureId iconPicture = NoTexture;
  TextureId flickerPicture = NoTexture;
  TOrvDeformBrush blob{5, 0};
  TextureId blobTexture = NoTexture;
  TextureId shellTexture = NoTexture;
  WellCamera camera;
};
WellState Well;

}  // namespace

bool IsSpikeVertex(int index) {
  // Double precision: 1237 * index leaves float's exact range long before the model's last vertex.
  return std::sin(1237.0 * index) < -0.9;
}

void AdvanceWellCamera(WellCamera& camera, float t, float dt, float spinRate) {
  camera.eye.y = static_cast<float>(300.0 + 110.0 * std::sin(0.5 * t));
  const float turn = spinRate * dt;
  RotateVector(camera.eye, Vector3{0, turn, 0});
  RotateVector(camera.up, Vector3{0, turn, static_cast<float>(0.231 * turn * std::sin(t))});
}

Vector3 WobbleBlobVertex(const Vector3& position, float t) {
  double x = position.x, y = position.y, z = position.z;
  const double s = t;
  // Each line uses the values the previous ones left; the first three double the model's size.
  x = 2 * x + 0.2 * x * std::sin(0.04 * z + 5.7 * s);
  y = 2 * y + 0.2 * y * std::sin(0.04 * z + 5.2 * s);
  z = 2 * z + 0.2 * z * std::sin(0.04 * z + 5.1 * s);
  x = x + 0.2 * x * std::sin(0.04 * y + 5.0 * s);
  y = y + 0.2 * y * std::sin(0.04 * y + 5.9 * s);
  z = z + 0.2 * z * std::sin(0.04 * y + 5.3 * s);
  x = x + 0.2 * x * std::sin(0.04 * x + 5.23 * s);
  y = y + 0.2 * y * std::sin(0.04 * x + 5.84 * s);
  z = z + 0.2 * z * std::sin(0.04 * x + 5.34 * s);
  return Vector3{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void DeformBlob(TOrvDeformBrush& blob, float t, float spike) {
  TMeshDataNM& mesh = blob.SelectedMesh();
  // Before SelectMesh, or with a mesh whose arrays are short, there is nothing to deform.
  const int count = blob.BufferLength;
  if (count <= 0 || blob.BufferCount < 4 || count > mesh.VertexCount ||
      mesh.Normals.size() < static_cast<size_t>(count) ||
      mesh.TexCoords.size() < static_cast<size_t>(count))
    return;
  blob.LoadPositions(0);
  std::vector<Vector3>& surface = blob.Buffers[0];
  for (int i = 0; i < count; ++i) surface[i] = WobbleBlobVertex(surface[i], t);
  ComputeNormalsFrom(mesh, surface);
  blob.LoadNormals(3);
  const std::vector<Vector3>& normals = blob.Buffers[3];
  // Without a kind-4 pulse the spikes add nothing, so the subset is not even looked for.
  const float reach = 70 * spike;
  for (int i = 0; reach != 0 && i < count; ++i) {
    if (!IsSpikeVertex(i)) continue;
    surface[i].x += reach * normals[i].x;
    surface[i].y += reach * normals[i].y;
    surface[i].z += reach * normals[i].z;
  }
  // The shell: the spiked surface pushed 16 units out along its normals.
  blob.CopyBuffer(0, 1);
  blob.ScaleBuffer(3, 16);
  blob.AddBuffer(1, 3);
  // The shell's texture follows the deformed surface's normals.
  for (int i = 0; i < count; ++i) {
    const Vector3& n = mesh.Normals[i];
    mesh.TexCoords[i] = TexCoord{0.5f * n.x + 0.5f, 0.5f * n.z + 0.5f};
  }
}

const WellCamera& WellSceneCamera() { return Well.camera; }
SceneState SaveWellScene() { return Well.camera; }
void RestoreWellScene(const SceneState& state) { Well.camera = std::any_cast<WellCamera>(state); }
TOrvDeformBrush& WellSceneBlob() { return Well.blob; }

void LoadWellScene() {
  Well.rings.TryLoadFile("bronn.3ds");
  Well.blobTexture = LoadTexture("yellglow.jpg");
  Well.cornerPicture = LoadTexture("notforeating.jpg");
  Well.ringTexture = LoadTexture("arrow.jpg");
  Well.room.TryLoadFile("roomtug.3ds");
  Well.iconPicture = LoadTexture("prikk_c.jpg");
  Well.flickerPicture = LoadTexture("sex.jpg");
  Well.room.Scale(Vector3{20, 20, 20});
  Well.roomTexture = LoadTexture("3.jpg");
  ResetWellScene();

  Well.blobTexture = LoadTexture("yellglow.jpg");
  Well.shellTexture = LoadTexture("lazer.jpg");
  Well.blob = TOrvDeformBrush(5, 0);
  try {
    Well.blob.LoadModel("geo3.3ds");
  } catch (const E3DSError&) {
    // An unreadable model leaves the blob without a mesh: it deforms and draws nothing.
  }
  // Coincident seam vertices share one index so the recomputed normals are smooth across seams.
  WeldVertices(Well.blob.Brush.Mesh(0));
  Well.blob.SelectMesh(0);
}

void AdvanceWellScene(float spinRate) {
  AdvanceWellCamera(Well.camera, ShowTime, FrameDelta, spinRate);
}

// The blob is rebuilt from its loaded positions every frame; only the camera carries over.
void ResetWellScene() { Well.camera = WellCamera{}; }

void DrawWellScene(float jolt, float spinRate, float scroll, float bounce, float spike) {
  StartSceneState();
  const float t = ShowTime;

  AdvanceWellScene(spinRate);
  SetFieldOfView(85);
  LookAt(Well.camera.eye, WellCentre, Well.camera.up);

  glTranslatef(jolt, 0, 0);
  BindTexture(Well.roomTexture);
  EnableSphereMap();
  // The room is seen at 30 % under a black veil; it is drawn at that strength instead of being
  // covered by a full-screen layer (the frame holds nothing but the room and black before it).
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glColor4f(0.3f * colour[0], 0.3f * colour[1], 0.3f * colour[2], colour[3]);
  // The room's sphere map is spread over the whole frame: its texels are never smaller than a
  // pixel, so it is sampled from the full-size picture only.
  WithFullSizePicture(Well.roomTexture, [] { Well.room.Mesh(0).DrawArrays(); });
  glColor4fv(colour);
  DisableSphereMap();
  // The rings and the blob are seen through the standard 45-degree perspective.
  RestorePerspective();

  glTranslatef(0, jolt, 0);
  BindTexture(Well.ringTexture);
  SetBlendAdd();
  glDisable(GL_DEPTH_TEST);
  const TMeshDataNM& ring = Well.rings.Mesh(0);
  // The near rings fill most of the frame with their picture about life size; the far ones, whose
  // arrows would want mipmaps, converge on the shaft's centre behind the blob. All are sampled from
  // the full-size picture.
  WithFullSizePicture(Well.ringTexture, [&] {
    for (int i = -30; i <= 10; ++i) {
      glPushMatrix();
      // The schedule's scroll is scaled by 0.3 and then by 20 on its way to the rings.
      glTranslatef(0, 90.0f * i - 6 * scroll, 0);
      ring.DrawArrays();
      glPopMatrix();
    }
  });
  glEnable(GL_DEPTH_TEST);

  DeformBlob(Well.blob, t, spike);
  glDisable(GL_LIGHTING);
  glPushMatrix();
  glTranslatef(0, 100, 0);
  glScalef(0.2f, 0.2f, 0.2f);
  glEnable(GL_DEPTH_TEST);
  BindTexture(Well.blobTexture);
  EnableSphereMap();
  Well.blob.DrawBuffer(0);
  BindTexture(Well.shellTexture);
  DisableSphereMap();
  SetBlendAdd();
  glDisable(GL_DEPTH_TEST);
  Well.blob.DrawBuffer(1);
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();

  Begin2D();
  for (int i = 0; i <= 60; ++i) {
    const float y = static_cast<float>(300 + 250 * std::sin(312.0 * i + t));
    DrawRectAdditive(ColorRGBA{1, 1, 1, 0.07f}, 0, y, 800, 5);
  }
  DrawImageAdditive(Well.cornerPicture, ColorRGBA{1, 1, 1, std::sin(t) + 0.5f}, -20, -150, 512,
                    512);
  for (int i = 0; i < 8; ++i) {
    const float b = bounce * static_cast<float>(std::sin(i + static_cast<double>(t)));
    const float x = 700 - b, y = 60.0f * (i + 1) - b, w = 46 + 2 * b, h = 41 + 2 * b;
    DrawImageAdditive(Well.iconPicture, ColorRGBA{1, 1, 1, 1}, x, y, w, h);
    // Negative alphas clamp to 0: the flicker copy is invisible half the time.
    const float flicker = static_cast<float>(std::sin(15.0 * t + i));
    DrawImageAdditive(Well.flickerPicture, ColorRGBA{1, 1, 1, flicker}, x, y, w, h);
  }
  End2D();

  SetFieldOfView(45);
}
