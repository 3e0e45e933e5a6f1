// Triangle meshes for the models: vectors, surface builders and the 3DS file writer.
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace datagen {

struct V3 {
  float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalised(V3 a) {
  const float l = Length(a);
  return l > 0 ? a * (1 / l) : V3{0, 1, 0};
}

struct MeshVertex {
  V3 p;
  float u = 0, v = 0;
};

// One mesh object of a model file: vertices with texture coordinates, triangles, a name.
struct ModelMesh {
  std::string name;
  std::vector<MeshVertex> vertices;
  std::vector<std::array<uint32_t, 3>> faces;
};
using Model = std::vector<ModelMesh>;

// A (columns + 1) x (rows + 1) grid over position(u, v), u and v in 0..1; texture coordinates
// are (u * uRepeat, v * vRepeat). Seam and pole vertices stay split, as a modeller leaves them;
// zero-area triangles (at poles) are dropped with the vertices only they used.
ModelMesh Surface(const std::string& name, int columns, int rows,
                  const std::function<V3(float u, float v)>& position, float uRepeat = 1,
                  float vRepeat = 1);
// A surface of revolution about the y axis through (radius, height) profile pieces; each piece
// is its own strip, so the corners between pieces stay sharp. v runs along the whole profile.
using Profile = std::vector<std::array<float, 2>>;
ModelMesh Lathe(const std::string& name, int segments, const std::vector<Profile>& pieces,
                float uRepeat = 1);
// A box with chamfered edges: half extents, bevel size, and texture coordinates per vertex.
ModelMesh BeveledBox(const std::string& name, V3 half, float bevel, int steps,
                     const std::function<std::array<float, 2>(V3 p, V3 faceNormal)>& uv);
// Turns every face so the face normals (c1 - c0) x (c2 - c0) point out of (or into) the volume.
void Orient(ModelMesh& mesh, bool outward);
void Transform(ModelMesh& mesh, const std::function<V3(V3)>& f);
void Append(ModelMesh& into, const ModelMesh& part);

// Writes the model as a 3DS file. Models are built y-up like the scenes' world; the file stores
// them z-up, the way the brush's fixed turn of 270 degrees about x expects.
void Write3DS(const std::string& path, const Model& model);
// The bytes of such a file.
std::vector<uint8_t> Encode3DS(const Model& model);

// The sculpture of the cloth scene ("dame.3ds") in cloth space (z up), before the scene's
// translation; the hit surface is built from the same meshes.
Model ClothSculpture();
inline constexpr float ClothSculptureDrop = -0.5f;  // the scene's translation along z

}  // namespace datagen
