// Mesh storage, smooth normals, welding and the two draw paths on the real GL context.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ToolkitFixture.h"
#include "render/Mesh.h"
#include "render/VectorMath.h"

namespace {
// The outward diagonal of a cube corner.
Vector3 Diagonal(const Vector3& p) {
  const float k = 1.0f / std::sqrt(3.0f);
  return {p.x * k, p.y * k, p.z * k};
}

void ExpectNear(const Vector3& a, const Vector3& b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

// A mesh of random positions drawn from a few values, so many vertices coincide, including
// -0 against +0 and NaN positions that must never weld.
TMeshData RandomDuplicateMesh(unsigned seed, int vertices, int faces) {
  std::mt19937 rng(seed);
  const float values[] = {0.0f, -0.0f, 1.0f, 2.5f, -1.0f, NAN};
  std::uniform_int_distribution<int> pick(0, 5), index(0, vertices - 1);
  TMeshData mesh;
  for (int i = 0; i < vertices; ++i) {
    Vector3 p{values[pick(rng)], values[pick(rng)], values[pick(rng) % 5]};
    mesh.AddVertex(p, {});
  }
  for (int f = 0; f < faces; ++f) mesh.Faces.push_back({index(rng), index(rng), index(rng)});
  mesh.FaceCount = faces;
  return mesh;
}

std::vector<uint8_t> DrawnPixels(const TMeshDataN& mesh, bool arrays) {
  glClear(GL_COLOR_BUFFER_BIT);
  if (arrays)
    mesh.DrawArrays();
  else
    mesh.Draw();
  return ReadFramePixels();
}
}  // namespace

TEST(Mesh, SharedCubeGetsDiagonalNormalsSplitCubeFaceNormals) {
  TMeshDataN shared;
  BuildCube(shared, false);
  ComputeNormals(shared);
  for (int i = 0; i < 8; ++i) ExpectNear(shared.Normals[i], Diagonal(shared.Vertices[i]));
  // The quadratic per-vertex form gives the same result.
  for (int i = 0; i < 8; ++i) ExpectNear(shared.ComputeVertexNormal(i), shared.Normals[i]);

  TMeshDataN split;
  BuildCube(split, true);
  ComputeNormals(split);
  for (int f = 0; f < split.FaceCount; ++f) {
    Vector3 n = FaceNormal(split.GetFaceTriangle(f));
    Normalize(n);
    for (int32_t corner : split.Faces[f]) ExpectNear(split.Normals[corner], n);
  }

  // Welded, every corner refers to the highest index of its group and lights like the shared cube.
  WeldVertices(split);
  ComputeNormals(split);
  for (int f = 0; f < split.FaceCount; ++f)
    for (int32_t corner : split.Faces[f]) {
      for (int32_t other = corner + 1; other < split.VertexCount; ++other) {
        const Vector3& p = split.Vertices[other];
        EXPECT_FALSE(p.x == split.Vertices[corner].x && p.y == split.Vertices[corner].y &&
                     p.z == split.Vertices[corner].z);
      }
      ExpectNear(split.Normals[corner], Diagonal(split.Vertices[corner]));
    }
  // Vertices no face uses any more keep a zero sum, which normalises to NaN.
  EXPECT_TRUE(std::isnan(split.Normals[0].x));
}

TEST(Mesh, WeldMatchesTheAllPairsForm) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    TMeshData fast = RandomDuplicateMesh(seed, 300, 500);
    TMeshData direct = fast;
    WeldVertices(fast);
    WeldVerticesAllPairs(direct);
    ASSERT_EQ(fast.Faces, direct.Faces) << "seed " << seed;
  }
}

using MeshDrawing = GLStateTest;

TEST_F(MeshDrawing, ImmediateAndArrayPathsDrawTheSamePixels) {
  TMeshDataN mesh;
  BuildCube(mesh, true);
  ScaleMesh(mesh, {0.5f, 0.5f, 0.5f});
  RotateMesh(mesh, {30, 40, 0});
  ComputeNormals(mesh);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_DEPTH_TEST);
  const auto immediate = DrawnPixels(mesh, false);
  const auto arrays = DrawnPixels(mesh, true);
  EXPECT_EQ(immediate, arrays);
  // Something was drawn, and shaded by the normals.
  EXPECT_GT(ReadPixel(400, 300).r, 0);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

TEST_F(MeshDrawing, EmptyMeshDrawsNothingAndLeavesClientArraysOff) {
  TMeshDataNM mesh;
  glColor4f(1, 1, 1, 1);
  mesh.DrawArrays();
  mesh.Draw();
  EXPECT_EQ(ReadPixel(400, 300).r, 0);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDrawing, ScaledTexCoordsRepeatTheTexture) {
  // A 2 x 2 black-and-white checker, nearest filtering, repeat wrapping.
  const uint8_t checker[16] = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255};
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, checker);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);

  TMeshData quad;
  quad.AddVertex({-1, -1, 0}, {0, 0});
  quad.AddVertex({1, -1, 0}, {1, 0});
  quad.AddVertex({1, 1, 0}, {1, 1});
  quad.AddVertex({-1, 1, 0}, {0, 1});
  quad.Faces = {{0, 1, 2}, {0, 2, 3}};
  quad.FaceCount = 2;
  ScaleTexCoords(quad, 5, 5);
  quad.DrawArrays();

  // Along a row the checker has 2 cells per repeat: 10 cells, 9 changes of colour.
  const auto pixels = ReadFramePixels();
  int changes = 0;
  for (int x = 1; x < 800; ++x)
    if (pixels[(300 * 800 + x) * 4] != pixels[(300 * 800 + x - 1) * 4]) ++changes;
  EXPECT_EQ(changes, 9);
  glDeleteTextures(1, &texture);
}

TEST(Mesh, ClosedSolidFacesAreWoundOutwardOpenOnesRefused) {
  // Sides split per face (edges meet by position only), moved off the origin, and a few faces
  // wound the other way round, as the bricks of a model file come.
  TMeshDataN cube;
  BuildCube(cube, true);
  for (Vector3& v : cube.Vertices) v.x += 5.0f;
  for (int f : {1, 4, 7, 10}) std::swap(cube.Faces[f][1], cube.Faces[f][2]);
  std::vector<MeshFace> faces;
  ASSERT_TRUE(OutwardFacesOfClosedSolid(cube, faces));
  ASSERT_EQ(faces.size(), 12u);
  for (const MeshFace& face : faces) {
    const Vector3 &a = cube.Vertices[face[0]], &b = cube.Vertices[face[1]],
                  &c = cube.Vertices[face[2]];
    const Vector3 ab{b.x - a.x, b.y - a.y, b.z - a.z}, ac{c.x - a.x, c.y - a.y, c.z - a.z};
    const Vector3 n{ab.y * ac.z - ab.z * ac.y, ab.z * ac.x - ab.x * ac.z, ab.x * ac.y - ab.y * ac.x};
    const Vector3 middle{(a.x + b.x + c.x) / 3 - 5.0f, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
    EXPECT_GT(n.x * middle.x + n.y * middle.y + n.z * middle.z, 0.0f);
  }

  // With one triangle gone the box is open: its back faces could show, so nothing is culled.
  cube.Faces.pop_back();
  cube.FaceCount = 11;
  EXPECT_FALSE(OutwardFacesOfClosedSolid(cube, faces));
  EXPECT_TRUE(faces.empty());
}
