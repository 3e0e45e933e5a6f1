// Brushes and the deform brush: loading, the model turn, failures, buffers and buffer drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "ToolkitFixture.h"
#include "Write3DS.h"
#include "render/Brush.h"
#include "render/DeformBrush.h"

using namespace Write3DS;

namespace {
const std::vector<Vector3> Tri = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};

std::string ThreeObjectModel(const TempDir& dir) {
  const std::string path = dir.File("three.3ds");
  WriteFile(path, Bytes(Model({MeshObject("one", Tri, {{0, 1, 2}}),
                               MeshObject("two", Tri, {{0, 1, 2}}),
                               MeshObject("three", Tri, {{0, 2, 1}})})));
  return path;
}

std::string CubeModel(const TempDir& dir) {
  TMeshDataN cube;
  BuildCube(cube, true);
  std::vector<Face> faces;
  for (const MeshFace& f : cube.Faces)
    faces.push_back({static_cast<uint16_t>(f[0]), static_cast<uint16_t>(f[1]),
                     static_cast<uint16_t>(f[2])});
  for (Vector3& v : cube.Vertices) v = {v.x * 0.5f, v.y * 0.5f, v.z * 0.5f};
  const std::string path = dir.File("cube.3ds");
  WriteFile(path, Bytes(Model({MeshObject("cube", cube.Vertices, faces)})));
  return path;
}
}  // namespace

TEST(Brush, LoadFileKeepsFileOrderAndStandsModelsUp) {
  TempDir dir;
  TOrvBrush brush(ThreeObjectModel(dir));
  ASSERT_EQ(brush.MeshCount, 3);
  EXPECT_EQ(brush.Mesh(0).Name, "one");
  EXPECT_EQ(brush.Mesh(2).Name, "three");
  // z-up in the file, y-up in the world: (0, 0, 1) -> (0, 1, 0).
  const Vector3 p = brush.Mesh(0).Vertices[0];
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, 1, 1e-6);
  EXPECT_NEAR(p.z, 0, 1e-6);
  // Normals were computed for the turned positions.
  const float k = 1 / std::sqrt(3.0f);
  EXPECT_NEAR(brush.Mesh(0).Normals[0].y, k, 1e-5);
  EXPECT_NEAR(brush.Mesh(0).Normals[0].z, -k, 1e-5);
  EXPECT_EQ(ModelLoader, nullptr);
}

TEST(Brush, EveryRealModelLoadsOrIsRefused) {
  SKIP_WITHOUT_TESTDATA();
  int loaded = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("3ds"))) {
    SCOPED_TRACE(entry.path().string());
    TOrvBrush brush;
    try {
      brush.LoadFile(entry.path().string());
      ++loaded;
    } catch (const E3DSError&) {
      EXPECT_EQ(entry.path().filename(), "empty.3ds");
    }
    // Every vertex a face uses has a unit normal.
    for (int32_t i = 0; i < brush.MeshCount; ++i)
      for (const MeshFace& face : brush.Mesh(i).Faces)
        for (int32_t corner : face) {
          const Vector3& n = brush.Mesh(i).Normals[corner];
          const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
          // Only a vertex used by nothing but zero-area faces may have no direction.
          if (!std::isnan(length)) {
            ASSERT_NEAR(length, 1, 1e-3);
          }
        }
  }
  EXPECT_EQ(loaded, 22);
}

TEST(Brush, RotateRecomputesNormalsScaleKeepsThem) {
  TempDir dir;
  TOrvBrush brush;
  brush.Load3DS(ThreeObjectModel(dir));
  TMeshDataNM& mesh = brush.Mesh(0);
  const Vector3 before = mesh.Vertices[1];
  mesh.Normals[0] = {9, 9, 9};
  brush.Rotate({0, 0, 0});
  EXPECT_EQ(mesh.Vertices[1].x, before.x);
  EXPECT_NEAR(mesh.Normals[0].x, 1 / std::sqrt(3.0f), 1e-5);

  const Vector3 normal = mesh.Normals[0];
  brush.Scale({2, 2, 2});
  EXPECT_EQ(mesh.Vertices[1].x, 2 * before.x);
  EXPECT_EQ(brush.Mesh(2).Vertices[0].z, 2.0f);
  EXPECT_EQ(mesh.Normals[0].x, normal.x);
}

TEST(Brush, FailedLoadLeavesASafeEmptyBrush) {
  TempDir dir;
  const std::string path = dir.File("broken.3ds");
  WriteFile(path, Bytes(Model({MeshObject("good", Tri, {{0, 1, 2}}),
                               MeshObject("bad", Tri, {{0, 1, 7}})})));
  TOrvBrush brush;
  EXPECT_THROW(brush.LoadFile(path), E3DSError);
  EXPECT_EQ(brush.MeshCount, 0);
  EXPECT_EQ(ModelLoader, nullptr);
  EXPECT_THROW(TOrvBrush{dir.File("missing.3ds")}, E3DSError);

  brush.Rotate({10, 20, 30});
  brush.Scale({2, 2, 2});
  EXPECT_EQ(brush.Mesh(0).VertexCount, 0);
  EXPECT_EQ(brush.Mesh(-1).FaceCount, 0);

  // A deform brush over nothing has nothing to do.
  TOrvDeformBrush deform(5, 0);
  EXPECT_THROW(deform.LoadModel(path), E3DSError);
  deform.SelectMesh(0);
  EXPECT_EQ(deform.BufferLength, 0);
  deform.LoadPositions(0);
  deform.LoadNormals(3);
  deform.AddBuffer(1, 3);
  deform.ScaleBuffer(7, 2);
}

TEST(DeformBrush, BufferArithmetic) {
  TempDir dir;
  TOrvDeformBrush deform(5, 10);
  // Before a mesh is selected nothing is processed, whatever the constructor's length.
  deform.Buffers[0][0] = {1, 1, 1};
  deform.ScaleBuffer(0, 0);
  deform.CopyBuffer(0, 1);
  EXPECT_EQ(deform.BufferLength, 0);
  EXPECT_EQ(deform.Buffers[0][0].x, 1);
  EXPECT_EQ(deform.Buffers[1][0].x, 0);

  deform.LoadModel(ThreeObjectModel(dir));
  deform.SelectMesh(2);
  ASSERT_EQ(deform.BufferLength, 3);
  for (const auto& buffer : deform.Buffers) EXPECT_EQ(buffer.size(), 3u);
  // The model keeps the file's orientation.
  deform.LoadPositions(0);
  EXPECT_EQ(deform.Buffers[0][0].z, 1.0f);
  deform.LoadNormals(3);
  EXPECT_NEAR(deform.Buffers[3][0].x, -1 / std::sqrt(3.0f), 1e-5);

  deform.CopyBuffer(0, 1);
  deform.AddBuffer(1, 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(deform.Buffers[0][k].x, Tri[k].x);
    EXPECT_FLOAT_EQ(deform.Buffers[1][k].y, Tri[k].y + deform.Buffers[3][k].y);
  }
  deform.AddBuffer(1, 1);
  EXPECT_FLOAT_EQ(deform.Buffers[1][0].z, 2 * (1 + deform.Buffers[3][0].z));
  deform.ScaleBuffer(1, 0);
  for (const Vector3& v : deform.Buffers[1]) EXPECT_TRUE(v.x == 0 && v.y == 0 && v.z == 0);

  // Reloading every frame reuses the buffer's storage.
  const Vector3* storage = deform.Buffers[0].data();
  for (int frame = 0; frame < 3; ++frame) deform.LoadPositions(0);
  EXPECT_EQ(deform.Buffers[0].data(), storage);
}

using DeformDrawing = GLStateTest;

TEST_F(DeformDrawing, BufferOfThePositionsDrawsWhatDrawArraysDraws) {
  TempDir dir;
  TOrvDeformBrush deform(2, 0);
  deform.LoadModel(CubeModel(dir));
  deform.SelectMesh(0);
  RotateMesh(deform.SelectedMesh(), {30, 40, 0});
  ComputeNormals(deform.SelectedMesh());
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  deform.SelectedMesh().DrawArrays();
  const auto expected = ReadFramePixels();
  deform.LoadPositions(1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  deform.DrawBuffer(1);
  EXPECT_EQ(ReadFramePixels(), expected);
  EXPECT_GT(ReadPixel(400, 300).r, 0);

  // A moved buffer draws the moved shape, and the mesh itself is untouched.
  deform.ScaleBuffer(1, 0.1f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  deform.DrawBuffer(1);
  EXPECT_EQ(ReadPixel(400 + 200, 300).r, 0);
  EXPECT_GT(ReadPixel(400, 300).r, 0);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

TEST(Brush, AModelThatCannotBeLoadedIsReportedOnceByName) {
  TempDir dir;
  const std::string damaged = dir.File("damaged.3ds");
  WriteFile(damaged, Bytes(Model({MeshObject("bad", Tri, {{0, 1, 7}})})));
  const std::string empty = dir.File("empty.3ds");
  WriteFile(empty, {});
  const std::string jpeg = dir.File("picture.3ds");
  WriteFile(jpeg, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1});
  const std::string text = dir.File("note.3ds");
  WriteFile(text, {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e', 'l', '\n'});
  auto expectOneMessage = [](const MessageLog& log, const std::string& path) {
    ASSERT_EQ(log.messages.size(), 1u) << path;
    EXPECT_EQ(log.messages[0].first, Model3DSCaption);
    EXPECT_EQ(log.messages[0].second.rfind("Couldn't load \"" + path + "\". ", 0), 0u)
        << log.messages[0].second;
  };
  // Damaged, empty and missing files raise the reader's error after the message.
  for (const std::string& path : {damaged, empty, dir.File("missing.3ds")}) {
    MessageLog log;
    TOrvBrush brush;
    EXPECT_THROW(brush.LoadFile(path), E3DSError);
    expectOneMessage(log, path);
  }
  // A file of another kind reads as a model without meshes: an empty brush, and a message.
  for (const std::string& path : {jpeg, text}) {
    MessageLog log;
    TOrvBrush brush;
    EXPECT_NO_THROW(brush.LoadFile(path));
    EXPECT_EQ(brush.MeshCount, 0);
    expectOneMessage(log, path);
  }
}
