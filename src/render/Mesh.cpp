// Mesh storage, normal computation, the two draw paths and the load-time mesh operations.
#include "render/Mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <utility>

#include "platform/GL.h"
#include "render/RenderState.h"
#include "render/Texture.h"
#include "render/VectorMath.h"

namespace {
bool FaceInRange(const MeshFace& face, int32_t count) {
  return face[0] >= 0 && face[0] < count && face[1] >= 0 && face[1] < count && face[2] >= 0 &&
         face[2] < count;
}

void AddTo(Vector3& sum, const Vector3& n) {
  sum.x += n.x;
  sum.y += n.y;
  sum.z += n.z;
}

// The shared body of ComputeNormals and ComputeNormalsFrom.
void SmoothNormals(TMeshDataN& mesh, const Vector3* positions, int32_t positionCount) {
  const int32_t count = std::min<int32_t>(mesh.VertexCount, positionCount);
  mesh.Normals.resize(std::max<size_t>(mesh.Normals.size(), mesh.VertexCount));
  for (int32_t i = 0; i < mesh.VertexCount; ++i) mesh.Normals[i] = Vector3{};
  for (int32_t f = 0; f < mesh.FaceCount; ++f) {
    const MeshFace& face = mesh.Faces[f];
    // A face pointing outside the positions would read past them; it contributes nothing.
    if (!FaceInRange(face, count)) continue;
    Triangle t;
    MakeTriangle(positions[face[0]], positions[face[1]], positions[face[2]], t);
    const Vector3 n = FaceNormal(t);
    AddTo(mesh.Normals[face[0]], n);
    AddTo(mesh.Normals[face[1]], n);
    AddTo(mesh.Normals[face[2]], n);
  }
  for (int32_t i = 0; i < mesh.VertexCount; ++i) Normalize(mesh.Normals[i]);
}

// Canonical key for exact float equality: -0 and +0 compare equal, so they must sort together.
float Canon(float value) { return value == 0.0f ? 0.0f : value; }
}  // namespace

void Material::Apply() const {
  if (Kind == 0) {
    ResetSurfaceState();
    glColor4f(Colour.r, Colour.g, Colour.b, Colour.a);
    if (Blended) {
      glEnable(GL_BLEND);
      glColor4f(BlendColour.r, BlendColour.g, BlendColour.b, BlendColour.a);
      glBlendFunc(GL_ONE, GL_ONE);
    } else {
      glDisable(GL_BLEND);
    }
  } else if (Kind == 1) {
    ResetSurfaceState();
    BindTexture(Texture);
    if (SphereMap) EnableSphereMap();
    if (Blended) {
      glColor4f(BlendColour.r, BlendColour.g, BlendColour.b, BlendColour.a);
      if (AlphaBlend)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      else
        glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
      glEnable(GL_BLEND);
    }
  }
}

TMeshData::~TMeshData() = default;

int32_t TMeshData::AddVertex(const Vector3& position, const TexCoord& texCoord) {
  Vertices.resize(VertexCount + 1);
  TexCoords.resize(VertexCount + 1);
  Vertices[VertexCount] = position;
  TexCoords[VertexCount] = texCoord;
  return VertexCount++;
}

void TMeshData::Draw() const {
  glBegin(GL_TRIANGLES);
  for (int32_t f = 0; f < FaceCount; ++f) {
    for (int32_t corner : Faces[f]) {
      glTexCoord2f(TexCoords[corner].u, TexCoords[corner].v);
      glVertex3f(Vertices[corner].x, Vertices[corner].y, Vertices[corner].z);
    }
  }
  glEnd();
}

void TMeshData::SetSize(int32_t n, int32_t f) {
  Vertices.resize(n);
  TexCoords.resize(n);
  Faces.resize(f);
  VertexCount = n;
  FaceCount = f;
}

void TMeshData::DrawArrays() const {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, Vertices.data());
  glTexCoordPointer(2, GL_FLOAT, 0, TexCoords.data());
  if (FaceCount > 0 && !DrawingUnseen())
    glDrawElements(GL_TRIANGLES, 3 * FaceCount, GL_UNSIGNED_INT, Faces.data());
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void TMeshData::Clear() {
  Vertices.clear();
  Faces.clear();
  TexCoords.clear();
  VertexCount = 0;
  FaceCount = 0;
}

Triangle TMeshData::GetFaceTriangle(int32_t face) const {
  Triangle t;
  const MeshFace& corners = Faces[face];
  MakeTriangle(Vertices[corners[0]], Vertices[corners[1]], Vertices[corners[2]], t);
  return t;
}

int32_t TMeshDataN::AddVertex(const Vector3& position, const TexCoord& texCoord) {
  const int32_t index = TMeshData::AddVertex(position, texCoord);
  Normals.resize(VertexCount);
  return index;
}

void TMeshDataN::Draw() const {
  for (int32_t f = 0; f < FaceCount; ++f) {
    glBegin(GL_TRIANGLES);
    for (int32_t corner : Faces[f]) {
      glTexCoord2f(TexCoords[corner].u, TexCoords[corner].v);
      glNormal3f(Normals[corner].x, Normals[corner].y, Normals[corner].z);
      glVertex3f(Vertices[corner].x, Vertices[corner].y, Vertices[corner].z);
    }
    glEnd();
  }
}

void TMeshDataN::SetSize(int32_t n, int32_t f) {
  TMeshData::SetSize(n, f);
  Normals.resize(n);
  ComputeAllNormals();
}

void TMeshDataN::DrawArrays() const {
  EnableArrays();
  if (FaceCount > 0 && !DrawingUnseen())
    glDrawElements(GL_TRIANGLES, 3 * FaceCount, GL_UNSIGNED_INT, Faces.data());
  DisableArrays();
}

void TMeshDataN::EnableArrays() const {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, Vertices.data());
  glNormalPointer(GL_FLOAT, 0, Normals.data());
  glTexCoordPointer(2, GL_FLOAT, 0, TexCoords.data());
}

void TMeshDataN::DisableArrays() {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void TMeshDataN::Clear() {
  Normals.clear();
  TMeshData::Clear();
}

Vector3 TMeshDataN::ComputeVertexNormal(int32_t i) const {
  Vector3 sum;
  for (int32_t f = 0; f < FaceCount; ++f) {
    const MeshFace& face = Faces[f];
    if (!FaceInRange(face, VertexCount)) continue;
    const Vector3 n = FaceNormal(GetFaceTriangle(f));
    for (int32_t corner : face)
      if (corner == i) AddTo(sum, n);
  }
  Normalize(sum);
  return sum;
}

void TMeshDataN::ComputeAllNormals() {
  Normals.resize(std::max<size_t>(Normals.size(), VertexCount));
  for (int32_t i = 0; i < VertexCount; ++i) Normals[i] = ComputeVertexNormal(i);
}

void TMeshDataNM::Draw() const {
  MeshMaterial.Apply();
  TMeshDataN::Draw();
}

void TMeshDataNM::Clear() {
  MeshMaterial = Material{};
  TMeshDataN::Clear();
}

void ComputeNormals(TMeshDataN& mesh) {
  SmoothNormals(mesh, mesh.Vertices.data(), mesh.VertexCount);
}

void ComputeNormalsFrom(TMeshDataN& mesh, const std::vector<Vector3>& positions) {
  SmoothNormals(mesh, positions.data(), static_cast<int32_t>(positions.size()));
}

void RotateMesh(TMeshData& mesh, const Vector3& angles) {
  for (int32_t i = 0; i < mesh.VertexCount; ++i) RotateVector(mesh.Vertices[i], angles);
}

void ScaleMesh(TMeshData& mesh, const Vector3& factors) {
  for (int32_t i = 0; i < mesh.VertexCount; ++i) {
    mesh.Vertices[i].x *= factors.x;
    mesh.Vertices[i].y *= factors.y;
    mesh.Vertices[i].z *= factors.z;
  }
}

void ScaleTexCoords(TMeshData& mesh, float su, float sv) {
  for (int32_t i = 0; i < mesh.VertexCount; ++i) {
    mesh.TexCoords[i].u *= su;
    mesh.TexCoords[i].v *= sv;
  }
}

void WeldVertices(TMeshData& mesh) {
  const int32_t n = mesh.VertexCount;
  // Sorting by position brings each group of coincident vertices together, replacing the
  // all-pairs comparison; NaN positions equal nothing, not even themselves, so they stay apart.
  std::vector<int32_t> order;
  order.reserve(n);
  for (int32_t i = 0; i < n; ++i) {
    const Vector3& p = mesh.Vertices[i];
    if (p.x == p.x && p.y == p.y && p.z == p.z) order.push_back(i);
  }
  const auto less = [&](int32_t a, int32_t b) {
    const Vector3& p = mesh.Vertices[a];
    const Vector3& q = mesh.Vertices[b];
    if (Canon(p.x) != Canon(q.x)) return Canon(p.x) < Canon(q.x);
    if (Canon(p.y) != Canon(q.y)) return Canon(p.y) < Canon(q.y);
    if (Canon(p.z) != Canon(q.z)) return Canon(p.z) < Canon(q.z);
    return a < b;
  };
  std::sort(order.begin(), order.end(), less);

  std::vector<int32_t> target(n);
  std::iota(target.begin(), target.end(), 0);
  const auto same = [&](int32_t a, int32_t b) {
    const Vector3& p = mesh.Vertices[a];
    const Vector3& q = mesh.Vertices[b];
    return p.x == q.x && p.y == q.y && p.z == q.z;
  };
  for (size_t start = 0; start < order.size();) {
    size_t end = start + 1;
    while (end < order.size() && same(order[start], order[end])) ++end;
    // Within a group the indices are ascending, so the last one is the highest.
    const int32_t highest = order[end - 1];
    for (size_t k = start; k < end; ++k) target[order[k]] = highest;
    start = end;
  }
  for (int32_t f = 0; f < mesh.FaceCount; ++f)
    for (int32_t& corner : mesh.Faces[f])
      if (corner >= 0 && corner < n) corner = target[corner];
}

bool OutwardFacesOfClosedSolid(const TMeshData& mesh, std::vector<MeshFace>& faces) {
  faces.clear();
  const int32_t count =
      std::min<int32_t>(mesh.VertexCount, static_cast<int32_t>(mesh.Vertices.size()));
  const int32_t faceCount = mesh.FaceCount;
  if (faceCount < 4 || mesh.Faces.size() < static_cast<size_t>(faceCount)) return false;
  // Vertices are often repeated with other normals or texture coordinates: edges are matched by
  // position.
  using Position = std::array<float, 3>;
  const auto positionOf = [&](int32_t vertex) {
    const Vector3& v = mesh.Vertices[vertex];
    return Position{Canon(v.x), Canon(v.y), Canon(v.z)};
  };
  // Every undirected edge with the faces using it and the direction each one runs it in.
  struct EdgeUse {
    int32_t face;
    bool forward;  // runs the edge from its smaller position to its larger
  };
  std::map<std::pair<Position, Position>, std::vector<EdgeUse>> edges;
  for (int32_t f = 0; f < faceCount; ++f) {
    const MeshFace& face = mesh.Faces[f];
    if (!FaceInRange(face, count)) return false;
    for (int corner = 0; corner < 3; ++corner) {
      const Position p = positionOf(face[corner]), q = positionOf(face[(corner + 1) % 3]);
      if (p == q) return false;
      edges[p < q ? std::make_pair(p, q) : std::make_pair(q, p)].push_back({f, p < q});
    }
  }
  std::vector<std::vector<std::pair<int32_t, bool>>> neighbours(static_cast<size_t>(faceCount));
  for (const auto& [edge, uses] : edges) {
    if (uses.size() != 2) return false;
    // Two faces wound alike run their shared edge in opposite directions.
    const bool alike = uses[0].forward != uses[1].forward;
    neighbours[uses[0].face].push_back({uses[1].face, alike});
    neighbours[uses[1].face].push_back({uses[0].face, alike});
  }
  // Each connected piece is wound like its first face, then turned outward as a whole by the
  // sign of the volume it encloses.
  std::vector<int> flipped(static_cast<size_t>(faceCount), -1);
  std::vector<int32_t> piece, pending;
  for (int32_t seed = 0; seed < faceCount; ++seed) {
    if (flipped[seed] >= 0) continue;
    piece.clear();
    flipped[seed] = 0;
    pending.assign(1, seed);
    while (!pending.empty()) {
      const int32_t f = pending.back();
      pending.pop_back();
      piece.push_back(f);
      for (const auto& [other, alike] : neighbours[f]) {
        const int wanted = alike ? flipped[f] : 1 - flipped[f];
        if (flipped[other] < 0) {
          flipped[other] = wanted;
          pending.push_back(other);
        } else if (flipped[other] != wanted) {
          return false;  // no consistent winding: not the surface of a solid
        }
      }
    }
    double volume = 0;
    for (int32_t f : piece) {
      const MeshFace& face = mesh.Faces[f];
      const Vector3 &a = mesh.Vertices[face[0]], &b = mesh.Vertices[face[1]],
                    &c = mesh.Vertices[face[2]];
      const double signedVolume = static_cast<double>(a.x) * (b.y * c.z - b.z * c.y) +
                                  static_cast<double>(a.y) * (b.z * c.x - b.x * c.z) +
                                  static_cast<double>(a.z) * (b.x * c.y - b.y * c.x);
      volume += flipped[f] ? -signedVolume : signedVolume;
    }
    if (volume == 0 || !std::isfinite(volume)) return false;
    if (volume < 0)
      for (int32_t f : piece) flipped[f] = 1 - flipped[f];
  }
  faces.assign(mesh.Faces.begin(), mesh.Faces.begin() + faceCount);
  for (int32_t f = 0; f < faceCount; ++f)
    if (flipped[f]) std::swap(faces[f][1], faces[f][2]);
  return true;
}

bool FlatSidesGrownToBox(const TMeshDataN& mesh, const std::vector<MeshFace>& faces,
                         TMeshDataN& box) {
  box = TMeshDataN{};
  const int32_t count = mesh.VertexCount;
  if (faces.empty() || mesh.Vertices.size() < static_cast<size_t>(count) ||
      mesh.Normals.size() < static_cast<size_t>(count))
    return false;
  for (const MeshFace& face : faces)
    if (!FaceInRange(face, count)) return false;
  auto axis = [](const Vector3& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; };
  // The box around the corners of a set of faces.
  auto extent = [&](const std::vector<MeshFace>& set, float low[3], float high[3]) {
    for (int a = 0; a < 3; ++a) low[a] = high[a] = axis(mesh.Vertices[set[0][0]], a);
    for (const MeshFace& face : set)
      for (int32_t corner : face)
        for (int a = 0; a < 3; ++a) {
          low[a] = std::min(low[a], axis(mesh.Vertices[corner], a));
          high[a] = std::max(high[a], axis(mesh.Vertices[corner], a));
        }
  };
  float low[3], high[3];
  extent(faces, low, high);
  const float tolerance =
      1e-4f * std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2], 1e-3f});
  auto near = [tolerance](float a, float b) { return std::fabs(a - b) <= tolerance; };
  TMeshDataN grown;
  for (int plane = 0; plane < 6; ++plane) {
    const int a = plane / 2;
    const float level = plane % 2 ? high[a] : low[a];
    std::vector<MeshFace> side;
    for (const MeshFace& face : faces)
      if (near(axis(mesh.Vertices[face[0]], a), level) && near(axis(mesh.Vertices[face[1]], a), level) &&
          near(axis(mesh.Vertices[face[2]], a), level))
        side.push_back(face);
    if (side.empty()) return false;
    // The side's own extent in its plane; its outermost corners move out to the box's edges.
    float sideLow[3], sideHigh[3];
    extent(side, sideLow, sideHigh);
    for (const MeshFace& face : side) {
      MeshFace added{};
      for (int k = 0; k < 3; ++k) {
        const Vector3& v = mesh.Vertices[face[k]];
        float moved[3] = {v.x, v.y, v.z};
        for (int b = 0; b < 3; ++b) {
          if (b == a) continue;
          if (near(moved[b], sideHigh[b])) moved[b] = high[b];
          else if (near(moved[b], sideLow[b])) moved[b] = low[b];
        }
        added[k] = static_cast<int32_t>(grown.Vertices.size());
        grown.Vertices.push_back({moved[0], moved[1], moved[2]});
        grown.Normals.push_back(mesh.Normals[face[k]]);
        grown.TexCoords.push_back(face[k] < static_cast<int32_t>(mesh.TexCoords.size())
                                      ? mesh.TexCoords[face[k]]
                                      : TexCoord{});
      }
      grown.Faces.push_back(added);
    }
  }
  grown.VertexCount = static_cast<int32_t>(grown.Vertices.size());
  grown.FaceCount = static_cast<int32_t>(grown.Faces.size());
  box = std::move(grown);
  return true;
}
