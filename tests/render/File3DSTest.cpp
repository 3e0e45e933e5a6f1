// The 3DS reader on real files from other tools, on synthetic files and on broken ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "Write3DS.h"
#include "render/File3DS.h"
#include "support/TestSupport.h"

using namespace Write3DS;

namespace {
struct RealFile {
  const char* name;
  int meshes;
  int vertices;  // over all meshes
  int faces;
  const char* firstMesh;
};

// Counts as recorded for the shared test data.
const RealFile RealFiles[] = {
    {"CameraRollAnim.3ds", 1, 26, 12, nullptr},
    {"CameraRollAnimWithChildObject.3ds", 2, 52, 24, nullptr},
    {"TargetCameraAnim.3ds", 1, 26, 12, nullptr},
    {"RotatingCube.3DS", 1, 26, 12, nullptr},
    {"cube_with_diffuse_texture.3DS", 1, 32, 12, nullptr},
    {"cubes_with_alpha.3DS", 5, 130, 60, nullptr},
    {"fels.3ds", 1, 386, 768, nullptr},
    {"test1.3ds", 9, 288, 108, nullptr},
    {"testFormatDetection.3ds", 1, 762, 1368, nullptr},
    {"cart_wheel.3DS", 13, 720, 1400, "wheel_inne"},
    {"jeep1.3ds", 7, 1948, 2032, nullptr},
    {"mar_rifle.3ds", 1, 421, 572, nullptr},
    {"cube_four_instances.3ds", 1, 8, 12, nullptr},
    {"cube_hierarchy.3ds", 1, 8, 12, "Cube"},
    {"o3dv_cube_camera.3ds", 1, 21, 12, nullptr},
    {"k3d_cube.3ds", 1, 8, 12, nullptr},
    {"qt3d_square.3ds", 1, 4, 2, nullptr},
    {"qt3d_basic-cube.3ds", 1, 8, 12, nullptr},
    {"qt3d_button3d.3ds", 3, 112, 190, "Top"},
    {"qt3d_lunar-lander.3ds", 12, 849, 884, "aerial"},
    {"iflamigm.3ds", 33, 6497, 12862, nullptr},
    {"wrong.3ds", 0, 0, 0, nullptr},
};

std::string Written(const TempDir& dir, const std::vector<uint8_t>& bytes) {
  static int counter = 0;
  const std::string path = dir.File("model" + std::to_string(counter++) + ".3ds");
  WriteFile(path, bytes);
  return path;
}

// The message of the E3DSError that loading and converting every mesh raises, or "".
std::string LoadError(const std::string& path, const std::vector<uint8_t>* bytes = nullptr) {
  try {
    T3DSLoader loader;
    if (bytes)
      loader.LoadFromBytes(path, *bytes);
    else
      loader.LoadFromFile(path);
    for (int32_t i = 0; i < loader.MeshCount; ++i) loader.BuildMesh(i);
    return "";
  } catch (const E3DSError& error) {
    return error.what();
  }
}

const std::vector<Vector3> Square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const std::vector<Face> SquareFaces = {{0, 1, 2}, {0, 2, 3}};
}  // namespace

TEST(File3DS, RealFilesGiveTheirRecordedMeshes) {
  SKIP_WITHOUT_TESTDATA();
  for (const RealFile& file : RealFiles) {
    SCOPED_TRACE(file.name);
    T3DSLoader loader;
    loader.LoadFromFile(TestDataPath(std::string("3ds/") + file.name));
    ASSERT_EQ(loader.MeshCount, file.meshes);
    int vertices = 0, faces = 0;
    for (int32_t i = 0; i < loader.MeshCount; ++i) {
      auto mesh = loader.BuildMesh(i);
      vertices += mesh->VertexCount;
      faces += mesh->FaceCount;
      EXPECT_EQ(mesh->TexCoords.size(), static_cast<size_t>(mesh->VertexCount));
      EXPECT_EQ(mesh->Normals.size(), static_cast<size_t>(mesh->VertexCount));
      for (const MeshFace& face : mesh->Faces)
        for (int32_t corner : face) ASSERT_LT(corner, mesh->VertexCount);
      if (i == 0 && file.firstMesh) {
        EXPECT_EQ(mesh->Name, file.firstMesh);
      }
    }
    EXPECT_EQ(vertices, file.vertices);
    EXPECT_EQ(faces, file.faces);
  }
}

TEST(File3DS, EmptyAndMissingFilesAreRefused) {
  SKIP_WITHOUT_TESTDATA();
  EXPECT_NE(LoadError(TestDataPath("3ds/empty.3ds")), "");
  EXPECT_NE(LoadError(TestDataPath("3ds/no-such-model.3ds")).find("no-such-model.3ds"),
            std::string::npos);
}

TEST(File3DS, LightsAndCamerasAreNotMeshes) {
  TempDir dir;
  const auto path = Written(dir, Bytes(Model({LightObject("lamp"), CameraObject("eye"),
                                              MeshObject("first", Square, SquareFaces),
                                              CameraObject("eye2"),
                                              MeshObject("second", Square, {{0, 1, 2}})})));
  T3DSLoader loader;
  loader.LoadFromFile(path);
  ASSERT_EQ(loader.MeshCount, 2);
  EXPECT_EQ(loader.BuildMesh(0)->Name, "first");
  auto second = loader.BuildMesh(1);
  EXPECT_EQ(second->Name, "second");
  EXPECT_EQ(second->FaceCount, 1);
  EXPECT_FLOAT_EQ(second->TexCoords[3].u, 1.5f);
  EXPECT_FLOAT_EQ(second->Vertices[2].y, 1.0f);
}

TEST(File3DS, FileKindsFollowTheRoot) {
  TempDir dir;
  const Node objects = MeshObject("m", Square, SquareFaces);
  T3DSLoader project;
  project.LoadFromFile(Written(dir, Bytes(Model({objects}, 0xC23D))));
  EXPECT_EQ(project.MeshCount, 1);
  EXPECT_EQ(project.BuildMesh(0)->FaceCount, 2);

  // A material library is read but holds no meshes, and asking for one is the wrong kind.
  Node material{0xAFFF, {}, {Node{0xA000, {'m', 0}, {}}}};
  TFile3DS library(Written(dir, Bytes(Node{0x3DAA, {}, {material}})));
  EXPECT_EQ(library.MeshCount(), 0);
  try {
    library.Mesh(0);
    FAIL();
  } catch (const E3DSError& error) {
    EXPECT_STREQ(error.what(), Msg3DSWrongDatabase);
  }
}

TEST(File3DS, FaceListSubChunksDoNotChangeTheMesh) {
  TempDir dir;
  const std::vector<Node> extras = {MaterialGroup("red", {0}), MaterialGroup("blue", {1}),
                                    SmoothGroups(2)};
  Node plain = MeshObject("m", Square, SquareFaces);
  Node rich = plain;
  rich.children[0].children[2] = FaceList(SquareFaces, extras);
  T3DSLoader a, b;
  a.LoadFromFile(Written(dir, Bytes(Model({plain}))));
  b.LoadFromFile(Written(dir, Bytes(Model({rich}))));
  auto meshA = a.BuildMesh(0), meshB = b.BuildMesh(0);
  EXPECT_EQ(meshA->Vertices.size(), meshB->Vertices.size());
  EXPECT_EQ(meshA->Faces, meshB->Faces);
  // The record keeps the groups in file order.
  const TMesh3DS& record = b.File->Mesh(0);
  ASSERT_EQ(record.MaterialGroups.size(), 2u);
  EXPECT_EQ(record.MaterialGroups[1].Name, "blue");
  EXPECT_EQ(record.SmoothingGroups.size(), 2u);
}

TEST(File3DS, HighFaceIndicesAreNotSignExtended) {
  TempDir dir;
  std::vector<Vector3> many(65535);
  for (size_t k = 0; k < many.size(); ++k) many[k] = {static_cast<float>(k), 0, 0};
  T3DSLoader loader;
  loader.LoadFromFile(
      Written(dir, Bytes(Model({MeshObject("big", many, {{40000, 65534, 32768}})}))));
  auto mesh = loader.BuildMesh(0);
  EXPECT_EQ(mesh->Faces[0], (MeshFace{40000, 65534, 32768}));
}

TEST(File3DS, TheFileIsReadWholeWhenOpenedAndRecordsAreCached) {
  TempDir dir;
  const std::vector<Vector3> far(4000, Vector3{1, 2, 3});
  const auto path = Written(dir, Bytes(Model({MeshObject("a", Square, SquareFaces),
                                              MeshObject("b", far, SquareFaces)})));
  TFile3DS file(path);
  const TMesh3DS& first = file.Mesh(0);
  // Cutting the file short afterwards changes nothing: its bytes were taken at the open.
  std::filesystem::resize_file(path, 10);
  EXPECT_EQ(&file.Mesh(0), &first);
  EXPECT_EQ(file.Mesh(0).Faces.size(), 2u);
  EXPECT_EQ(file.Mesh(1).Vertices.size(), 4000u);
}

TEST(File3DS, MissingOrShortTexCoordsBecomeZero) {
  TempDir dir;
  Node none = Object("none", {TriMesh({VertexList(Square), FaceList(SquareFaces)})});
  Node shortList = Object(
      "short", {TriMesh({VertexList(Square), TexCoordList({{0.5f, 0.5f}}), FaceList(SquareFaces)})});
  T3DSLoader loader;
  loader.LoadFromFile(Written(dir, Bytes(Model({none, shortList}))));
  auto a = loader.BuildMesh(0);
  ASSERT_EQ(a->TexCoords.size(), 4u);
  EXPECT_EQ(a->TexCoords[3].u, 0.0f);
  auto b = loader.BuildMesh(1);
  ASSERT_EQ(b->TexCoords.size(), 4u);
  EXPECT_EQ(b->TexCoords[0].u, 0.5f);
  EXPECT_EQ(b->TexCoords[1].v, 0.0f);
}

TEST(File3DS, BrokenFilesRaiseErrorsNeverCrash) {
  TempDir dir;
  const Node good = Model({MeshObject("m", Square, SquareFaces)});
  std::vector<std::pair<std::string, std::vector<uint8_t>>> broken;

  // A zero-length chunk would otherwise be scanned forever.
  Node zero = good;
  zero.children[1].children.push_back(Node{0x1234, {}, {}, -6});
  broken.push_back({"zero-length chunk", Bytes(zero)});

  Node pastParent = good;
  pastParent.children[1].children[1].lengthFix = 40;  // the object overruns the editor data
  broken.push_back({"chunk past its parent", Bytes(pastParent)});

  std::vector<uint8_t> truncated = Bytes(good);
  truncated.resize(truncated.size() - 9);
  broken.push_back({"file cut short", truncated});

  std::vector<uint8_t> headerCut = Bytes(good);
  headerCut.resize(4);
  broken.push_back({"file shorter than a header", headerCut});

  Node vertexCount = good;
  vertexCount.children[1].children[1].children[0].children[0].data[0] = 200;
  broken.push_back({"vertex count past its chunk", Bytes(vertexCount)});

  Node faceCount = good;
  faceCount.children[1].children[1].children[0].children[2].data[0] = 200;
  broken.push_back({"face count past its chunk", Bytes(faceCount)});

  broken.push_back(
      {"face index past the vertices", Bytes(Model({MeshObject("m", Square, {{0, 1, 4}})}))});

  Node unnamed{0x4000, {'a', 'b', 'c'}, {}};
  broken.push_back({"object name without its end", Bytes(Model({unnamed}))});

  Node deep{0x3D3D, {}, {}};
  for (int k = 0; k < 500; ++k) deep = Node{0x3D3D, {}, {deep}};
  broken.push_back({"chunks nested without end", Bytes(Node{0x4D4D, {}, {deep}})});

  for (const auto& [what, bytes] : broken) {
    SCOPED_TRACE(what);
    const std::string path = Written(dir, bytes);
    const std::string message = LoadError(path);
    EXPECT_NE(message, "");
    EXPECT_NE(message.find(dir.path), std::string::npos) << message;
    // Bytes handed over in memory are refused with the same words.
    EXPECT_EQ(LoadError(path, &bytes), message);
  }
}

TEST(File3DS, DamagedRealFilesLoadOrRaiseErrors) {
  SKIP_WITHOUT_TESTDATA();
  // Deterministic byte damage to real files: every outcome is a mesh set or an E3DSError.
  TempDir dir;
  std::mt19937 rng(7);
  for (const char* name : {"jeep1.3ds", "qt3d_lunar-lander.3ds", "cube_hierarchy.3ds"}) {
    const auto original = ReadFile(TestDataPath(std::string("3ds/") + name));
    std::uniform_int_distribution<size_t> at(0, original.size() - 1);
    for (int round = 0; round < 150; ++round) {
      auto bytes = original;
      for (int k = 0; k < 4; ++k) bytes[at(rng)] = static_cast<uint8_t>(rng());
      if (round % 10 == 0) bytes.resize(at(rng));
      LoadError(Written(dir, bytes));
    }
  }
}

TEST(File3DS, OddButReadableStructures) {
  SKIP_WITHOUT_TESTDATA();
  TempDir dir;
  // A mesh chunk that is not directly under its object is counted but cannot be extracted.
  Node light{0x4600, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {TriMesh({VertexList(Square)})}};
  T3DSLoader nested;
  nested.LoadFromFile(Written(dir, Bytes(Model({Object("lamp", {light})}))));
  EXPECT_EQ(nested.MeshCount, 1);
  try {
    nested.BuildMesh(0);
    FAIL();
  } catch (const E3DSError& error) {
    EXPECT_STREQ(error.what(), Msg3DSWrongObject);
  }
  EXPECT_THROW(nested.BuildMesh(1), E3DSError);

  // The extended-data section stops its scan at a foreign child and passes over the rest.
  Node extended{0x8001, {}, {Node{0x8002, {1, 2}, {}}, Node{0x4D4D, {}, {}, 1000}}};
  Node model = Model({MeshObject("m", Square, SquareFaces)});
  model.children.push_back(extended);
  EXPECT_EQ(LoadError(Written(dir, Bytes(model))), "");

  // A file of another kind is a root alone, whatever its length says.
  T3DSLoader other;
  other.LoadFromFile(TestDataPath("3ds/wrong.3ds"));
  EXPECT_EQ(other.MeshCount, 0);
  EXPECT_TRUE(other.File->Root().Children.empty());

  T3DSLoader unopened;
  EXPECT_THROW(unopened.BuildMesh(0), E3DSError);
}
