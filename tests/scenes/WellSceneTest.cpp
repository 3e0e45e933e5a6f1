// Well scene: the spike subset, the circling camera, the blob's deformation and the scene's drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "HandRotation.h"
#include "SceneLoading.h"
#include "platform/GL.h"
#include "render/DeformBrush.h"
#include "render/Mesh.h"
#include "render/RenderState.h"
#include "scenes/Scenes.h"
#include "scenes/WellScene.h"
#include "support/TestSupport.h"
#include "timeline/ShowClock.h"

namespace {

float AxisDistance(const Vector3& v) { return std::sqrt(v.x * v.x + v.z * v.z); }
float Length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST(WellSpikes, FixedScatteredSubset) {
  std::vector<int> first;
  for (int i = 0; i < 60; ++i)
    if (IsSpikeVertex(i)) first.push_back(i);
  EXPECT_EQ(first, (std::vector<int>{2, 10, 18, 26, 34, 42, 50, 58}));
  // About one vertex in seven, also far beyond the range where 1237 * i fits a float exactly.
  int count = 0;
  for (int i = 0; i < 200000; ++i) count += IsSpikeVertex(i);
  EXPECT_NEAR(count / 200000.0, 0.1436, 0.005);
}

TEST(WellCamera, CirclesTheShaftAtAFixedDistanceAndHoldsStillWithoutSpin) {
  WellCamera still;
  AdvanceWellCamera(still, 3.14159265f, 1.0f / 60, 0.0f);
  EXPECT_FLOAT_EQ(still.eye.y, 300 + 110 * std::sin(0.5f * 3.14159265f));
  EXPECT_EQ(still.eye.x, 20.0f);
  EXPECT_EQ(still.eye.z, 20.0f);
  EXPECT_EQ(still.up.x, 1.0f);
  // The whole of scene 9 at 60 frames a second with a spin rate like the schedule's.
  WellCamera camera;
  float t = 98.1f;
  float travelled = 0;
  for (int frame = 0; frame < 21 * 60; ++frame, t += 1.0f / 60) {
    const Vector3 before = camera.eye;
    AdvanceWellCamera(camera, t, 1.0f / 60, 140 * std::sin(5 * t) * std::sin(2.8f * t));
    travelled += std::fabs(before.x - camera.eye.x) + std::fabs(before.z - camera.eye.z);
  }
  EXPECT_NEAR(AxisDistance(camera.eye), std::sqrt(800.0f), 0.01f);
  EXPECT_NEAR(Length(camera.up), 1.0f, 1e-4f);
  EXPECT_GT(travelled, 10.0f);
}

// One frame of the well camera worked out by hand: the eye's height 300 + 110 sin(t / 2); eye and
// up turned by spin rate x dt degrees about y; the up vector also tilted by 0.231 times that turn
// times sin t about z.
WellCamera WellCameraByHand(WellCamera camera, double t, double dt, double spinRate) {
  camera.eye.y = static_cast<float>(300 + 110 * std::sin(0.5 * t));
  const double turn = spinRate * dt;
  camera.eye = TurnedByHand(camera.eye, 0, turn, 0);
  camera.up = TurnedByHand(camera.up, 0, turn, 0.231 * turn * std::sin(t));
  return camera;
}

TEST(WellCamera, TurnsAtTheSpinRateAndTiltsItsUpVector) {
  // 90 degrees a second for half a second at t = 1.2: the eye (20, y, 20) swings a quarter of
  // the way round to (0, y, sqrt 800); the up vector (1, 0, 0) turns 45 degrees about y, then
  // tilts 0.231 x 45 x sin 1.2 degrees about z.
  WellCamera camera;
  AdvanceWellCamera(camera, 1.2f, 0.5f, 90.0f);
  EXPECT_NEAR(camera.eye.x, 0.0f, 1e-4);
  EXPECT_NEAR(camera.eye.y, 300 + 110 * std::sin(0.6), 1e-3);
  EXPECT_NEAR(camera.eye.z, std::sqrt(800.0), 1e-4);
  const double tilt = 0.231 * 45 * std::sin(1.2) * M_PI / 180;
  EXPECT_NEAR(camera.up.x, std::cos(M_PI / 4) * std::cos(tilt), 1e-6);
  EXPECT_NEAR(camera.up.y, std::cos(M_PI / 4) * std::sin(tilt), 1e-6);
  EXPECT_NEAR(camera.up.z, std::sin(M_PI / 4), 1e-6);
  // Frame after frame, with a spin rate that changes like the schedule's.
  WellCamera running, expected;
  float t = 98.1f;
  for (int frame = 0; frame < 8; ++frame, t += 0.1f) {
    const float spin = 140 * std::sin(5 * t) * std::sin(2.8f * t);
    AdvanceWellCamera(running, t, 0.1f, spin);
    expected = WellCameraByHand(expected, t, 0.1, spin);
  }
  EXPECT_VECTOR_NEAR(running.eye, expected.eye, 1e-3);
  EXPECT_VECTOR_NEAR(running.up, expected.up, 1e-5);
}

TEST(WellBlob, WobbleDoublesTheModelBeforeTheSines) {
  // At t = 0 a point on the x axis feels only the sines of its own x.
  const Vector3 q = WobbleBlobVertex(Vector3{10, 0, 0}, 0);
  EXPECT_NEAR(q.x, 20 * (1 + 0.2 * std::sin(0.8)), 1e-3);
  EXPECT_EQ(q.y, 0.0f);
  EXPECT_EQ(q.z, 0.0f);
}

// A latitude-longitude ball whose seam column and pole rows are duplicated with identical
// positions, as a modelling tool exports it; the blob is loaded like the scene's, then welded.
std::unique_ptr<TMeshDataNM> SplitSeamBall(int rows, int segments, float radius) {
  auto mesh = std::make_unique<TMeshDataNM>();
  for (int r = 0; r <= rows; ++r) {
    const double polar = M_PI * r / rows;
    for (int s = 0; s <= segments; ++s) {
      const double azimuth = 2 * M_PI * (s % segments) / segments;
      const Vector3 p{static_cast<float>(radius * std::sin(polar) * std::cos(azimuth)),
                      static_cast<float>(radius * std::cos(polar)),
                      static_cast<float>(radius * std::sin(polar) * std::sin(azimuth))};
      mesh->AddVertex(p, TexCoord{});
    }
  }
  for (int r = 0; r < rows; ++r)
    for (int s = 0; s < segments; ++s) {
      const int a = r * (segments + 1) + s, c = a + segments + 1;
      mesh->Faces.push_back(MeshFace{a, a + 1, c});
      mesh->Faces.push_back(MeshFace{a + 1, c + 1, c});
    }
  mesh->FaceCount = static_cast<int32_t>(mesh->Faces.size());
  ComputeNormals(*mesh);
  return mesh;
}

class WellBlobFrame : public testing::Test {
 protected:
  void SetUp() override {
    blob.Brush.Meshes.push_back(SplitSeamBall(10, 16, 30.0f));
    blob.Brush.MeshCount = 1;
    WeldVertices(blob.Brush.Mesh(0));
    blob.SelectMesh(0);
    const TMeshDataNM& mesh = blob.Brush.Mesh(0);
    loaded = mesh.Vertices;
    used.assign(mesh.VertexCount, false);
    for (const MeshFace& face : mesh.Faces)
      for (int corner : face) used[corner] = true;
  }
  TOrvDeformBrush blob{5, 0};
  std::vector<Vector3> loaded;
  std::vector<bool> used;  // vertices the welded faces still refer to (the others are never drawn)
};

TEST_F(WellBlobFrame, EveryFrameStartsFromTheLoadedModel) {
  DeformBlob(blob, 1.3f, 0.0f);
  const std::vector<Vector3> first = blob.Buffers[0];
  for (size_t i = 0; i < loaded.size(); ++i) {
    const Vector3 expected = WobbleBlobVertex(loaded[i], 1.3f);
    EXPECT_EQ(first[i].x, expected.x);
    EXPECT_EQ(first[i].y, expected.y);
    EXPECT_EQ(first[i].z, expected.z);
  }
  DeformBlob(blob, 7.9f, 2.0f);
  DeformBlob(blob, 1.3f, 0.0f);
  const TMeshDataNM& mesh = blob.Brush.Mesh(0);
  for (size_t i = 0; i < loaded.size(); ++i) {
    EXPECT_EQ(mesh.Vertices[i].x, loaded[i].x);
    EXPECT_EQ(mesh.Vertices[i].y, loaded[i].y);
    EXPECT_EQ(blob.Buffers[0][i].x, first[i].x);
    EXPECT_EQ(blob.Buffers[0][i].z, first[i].z);
  }
}

TEST_F(WellBlobFrame, ShellLiesSixteenUnitsOutsideTheSpikedSurface) {
  for (float spike : {0.0f, 0.8f}) {
    DeformBlob(blob, 42.0f, spike);
    const TMeshDataNM& mesh = blob.Brush.Mesh(0);
    for (size_t i = 0; i < used.size(); ++i) {
      if (!used[i]) continue;
      const Vector3& n = mesh.Normals[i];
      EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-4f) << i;
      EXPECT_NEAR(blob.Buffers[1][i].x - blob.Buffers[0][i].x, 16 * n.x, 1e-3f) << i;
      EXPECT_NEAR(blob.Buffers[1][i].y - blob.Buffers[0][i].y, 16 * n.y, 1e-3f) << i;
      EXPECT_NEAR(blob.Buffers[1][i].z - blob.Buffers[0][i].z, 16 * n.z, 1e-3f) << i;
      // The shell's texture coordinates come from the deformed surface's normals.
      EXPECT_FLOAT_EQ(mesh.TexCoords[i].u, 0.5f * n.x + 0.5f);
      EXPECT_FLOAT_EQ(mesh.TexCoords[i].v, 0.5f * n.z + 0.5f);
      // A ball's normals point away from its centre, also across the welded seam.
      const Vector3& p = blob.Buffers[0][i];
      EXPECT_GT(p.x * n.x + p.y * n.y + p.z * n.z, 0.0f) << i;
    }
  }
}

TEST_F(WellBlobFrame, SpikesPushOnlyTheSubsetAlongTheirNormals) {
  DeformBlob(blob, 3.0f, 0.0f);
  const std::vector<Vector3> smooth = blob.Buffers[0];
  DeformBlob(blob, 3.0f, 0.5f);
  const TMeshDataNM& mesh = blob.Brush.Mesh(0);
  int spikes = 0;
  for (size_t i = 0; i < used.size(); ++i) {
    if (!used[i]) continue;
    const float reach = IsSpikeVertex(static_cast<int>(i)) ? 35.0f : 0.0f;
    spikes += reach > 0;
    EXPECT_NEAR(blob.Buffers[0][i].x, smooth[i].x + reach * mesh.Normals[i].x, 1e-3f) << i;
    EXPECT_NEAR(blob.Buffers[0][i].y, smooth[i].y + reach * mesh.Normals[i].y, 1e-3f) << i;
    EXPECT_NEAR(blob.Buffers[0][i].z, smooth[i].z + reach * mesh.Normals[i].z, 1e-3f) << i;
  }
  EXPECT_GT(spikes, 5);
}

// One frame of scene 9 the way the schedule draws it, on a cleared black frame.
void DrawWellFrame(float t, float spinRate, float spike) {
  ShowTime = t;
  FrameDelta = 1.0f / 60;
  glClearColor(0, 0, 0, 1);
  BeginFrame();
  SetPlainColour(ColorRGBA{1, 1, 1, 1});
  glDisable(GL_LIGHTING);
  DrawWellScene(4.0f, spinRate, 12.0f, 20 * std::sin(t * 3.1f), spike);
}

void ExpectStandardProjection() {
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5], 1 / std::tan(22.5 * M_PI / 180), 1e-4);
}

TEST(WellSceneFrame, MissingFilesLeaveAnEmptyButSafeScene) {
  EnsureGLContext();
  TempDir empty;
  MessageLog log;
  LoadSceneIn(empty.path, LoadWellScene);
  EXPECT_FALSE(log.messages.empty());  // each missing picture says so
  EXPECT_EQ(WellSceneBlob().BufferLength, 0);  // no model: the blob deforms and draws nothing
  const WellCamera expected = WellCameraByHand(WellCamera{}, 100.0, 1.0 / 60, 90.0);
  DrawWellFrame(100.0f, 90.0f, 30.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_VECTOR_NEAR(WellSceneCamera().eye, expected.eye, 1e-3);
  EXPECT_VECTOR_NEAR(WellSceneCamera().up, expected.up, 1e-6);
  ExpectStandardProjection();
}

TEST(WellSceneFrame, GeneratedDataDrawsTheShaftAndKeepsTurning) {
  if (!std::filesystem::exists(GeneratedDataPath("geo3.3ds"))) GTEST_SKIP() << "no generated data";
  EnsureGLContext();
  LoadSceneIn(GeneratedDataPath(""), LoadWellScene);
  ASSERT_GT(WellSceneBlob().BufferLength, 0);
  // The camera continues from where the last frame left it.
  WellCamera expected;
  float t = 98.1f;
  for (int frame = 0; frame < 5; ++frame, t += 1.0f / 60) {
    expected = WellCameraByHand(expected, t, 1.0 / 60, 120.0);
    DrawWellFrame(t, 120.0f, frame == 4 ? 60.0f : 0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  EXPECT_VECTOR_NEAR(WellSceneCamera().eye, expected.eye, 1e-3);
  EXPECT_VECTOR_NEAR(WellSceneCamera().up, expected.up, 1e-5);
  ExpectStandardProjection();
  // Something lit in the middle of the shaft, and the icon column at the right edge.
  EXPECT_GT(MeanBrightness(300, 200, 500, 400), 10);
  EXPECT_GT(MeanBrightness(700, 60, 746, 540), 10);
}

}  // namespace
