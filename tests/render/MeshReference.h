// Shared by the toolkit tests and benchmarks: test meshes and the all-pairs vertex weld that the
// fast one must match.
#pragma once
#include <cstdint>
#include <vector>

#include "render/Mesh.h"

// The direct form: for every ordered pair of distinct, exactly equal vertices (i, j), every face
// corner equal to j is set to i. Quadratic in the vertex count; kept only as the reference.
inline void WeldVerticesAllPairs(TMeshData& mesh) {
  for (int32_t i = 0; i < mesh.VertexCount; ++i) {
    const Vector3 p = mesh.Vertices[i];
    for (int32_t j = 0; j < mesh.VertexCount; ++j) {
      if (j == i) continue;
      const Vector3& q = mesh.Vertices[j];
      if (p.x != q.x || p.y != q.y || p.z != q.z) continue;
      for (int32_t f = 0; f < mesh.FaceCount; ++f)
        for (int32_t& corner : mesh.Faces[f])
          if (corner == j) corner = i;
    }
  }
}

// A unit cube around the origin, counter-clockwise seen from outside. Shared: 8 corners used by
// 12 triangles; split: 4 vertices of its own per side (24).
template <class Mesh>
void BuildCube(Mesh& mesh, bool split) {
  static const float corner[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                     {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  // Every side is split along the diagonal through its even corners (coordinate sum -3 or 1),
  // so each corner gets equal weight from its three sides and a truly diagonal normal.
  static const int side[6][4] = {{0, 3, 2, 1}, {5, 6, 7, 4}, {0, 1, 5, 4},
                                 {7, 6, 2, 3}, {0, 4, 7, 3}, {2, 6, 5, 1}};
  if (!split)
    for (const auto& c : corner) mesh.AddVertex({c[0], c[1], c[2]}, {c[0], c[1]});
  for (const auto& s : side) {
    int32_t v[4];
    for (int k = 0; k < 4; ++k) {
      const float* c = corner[s[k]];
      v[k] = split ? mesh.AddVertex({c[0], c[1], c[2]}, {k == 1 || k == 2 ? 1.0f : 0.0f,
                                                         k >= 2 ? 1.0f : 0.0f})
                   : s[k];
    }
    mesh.Faces.push_back({v[0], v[1], v[2]});
    mesh.Faces.push_back({v[0], v[2], v[3]});
  }
  mesh.FaceCount = static_cast<int32_t>(mesh.Faces.size());
}

