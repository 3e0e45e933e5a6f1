// Mesh builders (parametric surfaces, lathes, bevelled boxes) and the 3DS chunk writer.
#include "Geometry.h"

#include <algorithm>
#include <stdexcept>

#include "Bytes.h"

namespace datagen {
namespace {

constexpr float Pi = 3.14159265358979f;

// Positions are snapped to 1/1024 of a unit so that points a modeller would have placed on top
// of each other (seams, poles) are exactly equal, which is what vertex welding looks for.
float Snap(float value) { return std::round(value * 1024.0f) / 1024.0f + 0.0f; }  // no -0
V3 Snap(V3 p) { return {Snap(p.x), Snap(p.y), Snap(p.z)}; }

bool Same(V3 a, V3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// Drops zero-area faces and the vertices that no face uses any more.
void Compact(ModelMesh& mesh) {
  std::vector<std::array<uint32_t, 3>> kept;
  for (const auto& f : mesh.faces) {
    const V3 a = mesh.vertices[f[0]].p, b = mesh.vertices[f[1]].p, c = mesh.vertices[f[2]].p;
    if (Same(a, b) || Same(b, c) || Same(a, c)) continue;
    kept.push_back(f);
  }
  std::vector<int64_t> remap(mesh.vertices.size(), -1);
  std::vector<MeshVertex> vertices;
  for (auto& f : kept)
    for (auto& index : f) {
      if (remap[index] < 0) {
        remap[index] = static_cast<int64_t>(vertices.size());
        vertices.push_back(mesh.vertices[index]);
      }
      index = static_cast<uint32_t>(remap[index]);
    }
  mesh.vertices = std::move(vertices);
  mesh.faces = std::move(kept);
}

void AddGridFaces(ModelMesh& mesh, uint32_t base, int columns, int rows) {
  const uint32_t stride = static_cast<uint32_t>(columns + 1);
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < columns; ++i) {
      const uint32_t a = base + j * stride + i, b = a + 1, c = a + stride + 1, d = a + stride;
      mesh.faces.push_back({a, b, c});
      mesh.faces.push_back({a, c, d});
    }
}

std::vector<uint8_t> Chunk(uint16_t id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out;
  PutChunk3DS(out, id, body);
  return out;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) { out.insert(out.end(), more.begin(), more.end()); }

std::vector<uint8_t> MeshObject(const ModelMesh& mesh) {
  if (mesh.vertices.size() > 65535 || mesh.faces.size() > 65535)
    throw std::runtime_error("mesh " + mesh.name + " is too large for a 3DS file");
  for (const auto& v : mesh.vertices)
    if (!std::isfinite(v.p.x) || !std::isfinite(v.p.y) || !std::isfinite(v.p.z) || !std::isfinite(v.u) || !std::isfinite(v.v))
      throw std::runtime_error("mesh " + mesh.name + " has a vertex that is not a number");
  std::vector<uint8_t> points, mapping, matrix, faces;
  Put16(points, static_cast<uint32_t>(mesh.vertices.size()));
  Put16(mapping, static_cast<uint32_t>(mesh.vertices.size()));
  for (const auto& v : mesh.vertices) {
    // y-up world to the file's z-up: the brush turns (x, y, z) into (x, z, -y) on loading.
    PutFloat(points, v.p.x);
    PutFloat(points, -v.p.z);
    PutFloat(points, v.p.y);
    PutFloat(mapping, v.u);
    PutFloat(mapping, v.v);
  }
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (float f : identity) PutFloat(matrix, f);
  Put16(faces, static_cast<uint32_t>(mesh.faces.size()));
  for (const auto& f : mesh.faces) {
    Put16(faces, f[0]);
    Put16(faces, f[1]);
    Put16(faces, f[2]);
    Put16(faces, 7);  // all three edges visible
  }
  std::vector<uint8_t> triangles;
  Append(triangles, Chunk(0x4110, points));
  Append(triangles, Chunk(0x4140, mapping));
  Append(triangles, Chunk(0x4160, matrix));
  Append(triangles, Chunk(0x4120, faces));
  std::vector<uint8_t> object(mesh.name.begin(), mesh.name.end());
  object.push_back(0);
  Append(object, Chunk(0x4100, triangles));
  return Chunk(0x4000, object);
}

}  // namespace

ModelMesh Surface(const std::string& name, int columns, int rows,
                  const std::function<V3(float u, float v)>& position, float uRepeat, float vRepeat) {
  ModelMesh mesh;
  mesh.name = name;
  for (int j = 0; j <= rows; ++j) {
    const size_t first = mesh.vertices.size();
    for (int i = 0; i <= columns; ++i) {
      const float u = static_cast<float>(i) / columns, v = static_cast<float>(j) / rows;
      mesh.vertices.push_back({position(u, v), u * uRepeat, v * vRepeat});
    }
    // A closed row ends where it starts, and a row that has shrunk to a point (a pole) is one
    // point: make those exactly equal instead of equal up to rounding.
    MeshVertex* row = &mesh.vertices[first];
    float spread = 0;
    for (int i = 1; i <= columns; ++i) spread = std::max(spread, Length(row[i].p - row[0].p));
    if (spread < 1e-3f)
      for (int i = 1; i <= columns; ++i) row[i].p = row[0].p;
    if (Length(row[columns].p - row[0].p) < 1e-3f) row[columns].p = row[0].p;
    for (int i = 0; i <= columns; ++i) row[i].p = Snap(row[i].p);
  }
  AddGridFaces(mesh, 0, columns, rows);
  Compact(mesh);
  return mesh;
}

ModelMesh Lathe(const std::string& name, int segments, const std::vector<Profile>& pieces, float uRepeat) {
  ModelMesh mesh;
  mesh.name = name;
  float total = 0;
  for (const auto& piece : pieces)
    for (size_t k = 1; k < piece.size(); ++k)
      total += std::hypot(piece[k][0] - piece[k - 1][0], piece[k][1] - piece[k - 1][1]);
  float travelled = 0;
  for (const auto& piece : pieces) {
    const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
    for (size_t k = 0; k < piece.size(); ++k) {
      if (k > 0) travelled += std::hypot(piece[k][0] - piece[k - 1][0], piece[k][1] - piece[k - 1][1]);
      for (int i = 0; i <= segments; ++i) {
        const float angle = 2 * Pi * (i % segments) / segments;
        const float r = piece[k][0];
        const V3 p{r * std::cos(angle), piece[k][1], -r * std::sin(angle)};
        mesh.vertices.push_back({Snap(p), uRepeat * i / segments, total > 0 ? travelled / total : 0});
      }
    }
    AddGridFaces(mesh, base, segments, static_cast<int>(piece.size()) - 1);
  }
  Compact(mesh);
  return mesh;
}

ModelMesh BeveledBox(const std::string& name, V3 half, float bevel, int steps,
                     const std::function<std::array<float, 2>(V3 p, V3 faceNormal)>& uv) {
  ModelMesh mesh;
  mesh.name = name;
  auto nodes = [&](float a) {
    std::vector<float> list{-a};
    for (int s = 0; s <= steps; ++s) list.push_back(-a + bevel + (2 * a - 2 * bevel) * s / steps);
    list.push_back(a);
    return list;
  };
  const float h[3] = {half.x, half.y, half.z};
  for (int axis = 0; axis < 3; ++axis)
    for (int side = -1; side <= 1; side += 2) {
      const int ta = (axis + 1) % 3, tb = (axis + 2) % 3;
      const std::vector<float> na = nodes(h[ta]), nb = nodes(h[tb]);
      const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
      for (float b : nb)
        for (float a : na) {
          float q[3];
          q[axis] = side * h[axis];
          q[ta] = a;
          q[tb] = b;
          float inner[3], dir[3];
          for (int k = 0; k < 3; ++k) {
            inner[k] = std::clamp(q[k], -(h[k] - bevel), h[k] - bevel);
            dir[k] = q[k] - inner[k];
          }
          const V3 d = Normalised({dir[0], dir[1], dir[2]});
          const V3 p = V3{inner[0], inner[1], inner[2]} + d * bevel;
          float n[3] = {0, 0, 0};
          n[axis] = static_cast<float>(side);
          const auto t = uv(p, {n[0], n[1], n[2]});
          mesh.vertices.push_back({Snap(p), t[0], t[1]});
        }
      AddGridFaces(mesh, base, static_cast<int>(na.size()) - 1, static_cast<int>(nb.size()) - 1);
    }
  Compact(mesh);
  Orient(mesh, true);
  return mesh;
}

void Orient(ModelMesh& mesh, bool outward) {
  double volume = 0;
  for (const auto& f : mesh.faces) {
    const V3 a = mesh.vertices[f[0]].p, b = mesh.vertices[f[1]].p, c = mesh.vertices[f[2]].p;
    volume += Dot(a, Cross(b, c));
  }
  if ((volume > 0) != outward)
    for (auto& f : mesh.faces) std::swap(f[1], f[2]);
}

void Transform(ModelMesh& mesh, const std::function<V3(V3)>& f) {
  for (auto& v : mesh.vertices) v.p = Snap(f(v.p));
}

void Append(ModelMesh& into, const ModelMesh& part) {
  const uint32_t base = static_cast<uint32_t>(into.vertices.size());
  into.vertices.insert(into.vertices.end(), part.vertices.begin(), part.vertices.end());
  for (auto f : part.faces) into.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
}

std::vector<uint8_t> Encode3DS(const Model& model) {
  std::vector<uint8_t> version, editor, meshVersion, scale;
  Put32(version, 3);
  Put32(meshVersion, 3);
  PutFloat(scale, 1.0f);
  Append(editor, Chunk(0x3D3E, meshVersion));
  Append(editor, Chunk(0x0100, scale));
  for (const auto& mesh : model) Append(editor, MeshObject(mesh));
  std::vector<uint8_t> root;
  Append(root, Chunk(0x0002, version));
  Append(root, Chunk(0x3D3D, editor));
  return Chunk(0x4D4D, root);
}

void Write3DS(const std::string& path, const Model& model) {
  SaveFile(path, Encode3DS(model));
}

}  // namespace datagen
