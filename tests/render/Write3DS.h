// A small 3DS writer for tests and benchmarks: synthetic models and deliberately broken ones.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "render/ByteOrder.h"
#include "render/Mesh.h"

namespace Write3DS {

// A chunk to write; lengthFix is added to the length field written (to make broken files).
struct Node {
  uint16_t id = 0;
  std::vector<uint8_t> data;
  std::vector<Node> children;
  int64_t lengthFix = 0;
};

inline void PutU16(std::vector<uint8_t>& out, uint16_t v) { PutLE16(out, v); }
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) { PutLE32(out, v); }
inline void PutF32(std::vector<uint8_t>& out, float f) { PutLEFloat(out, f); }
inline void PutString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

inline void Append(std::vector<uint8_t>& out, const Node& node) {
  std::vector<uint8_t> body = node.data;
  for (const Node& child : node.children) Append(body, child);
  PutChunk3DS(out, node.id, body, node.lengthFix);
}
inline std::vector<uint8_t> Bytes(const Node& root) {
  std::vector<uint8_t> out;
  Append(out, root);
  return out;
}

inline Node VertexList(const std::vector<Vector3>& vertices) {
  Node n{0x4110, {}, {}};
  PutU16(n.data, static_cast<uint16_t>(vertices.size()));
  for (const Vector3& v : vertices) {
    PutF32(n.data, v.x);
    PutF32(n.data, v.y);
    PutF32(n.data, v.z);
  }
  return n;
}
inline Node TexCoordList(const std::vector<TexCoord>& coords) {
  Node n{0x4140, {}, {}};
  PutU16(n.data, static_cast<uint16_t>(coords.size()));
  for (const TexCoord& t : coords) {
    PutF32(n.data, t.u);
    PutF32(n.data, t.v);
  }
  return n;
}
using Face = std::array<uint16_t, 3>;
inline Node FaceList(const std::vector<Face>& faces, std::vector<Node> children = {}) {
  Node n{0x4120, {}, std::move(children)};
  PutU16(n.data, static_cast<uint16_t>(faces.size()));
  for (const Face& f : faces) {
    for (uint16_t corner : f) PutU16(n.data, corner);
    PutU16(n.data, 7);
  }
  return n;
}
inline Node MaterialGroup(const std::string& name, const std::vector<uint16_t>& faces) {
  Node n{0x4130, {}, {}};
  PutString(n.data, name);
  PutU16(n.data, static_cast<uint16_t>(faces.size()));
  for (uint16_t f : faces) PutU16(n.data, f);
  return n;
}
inline Node SmoothGroups(size_t faceCount) {
  Node n{0x4150, {}, {}};
  for (size_t k = 0; k < faceCount; ++k) PutU32(n.data, 1);
  return n;
}
inline Node Object(const std::string& name, std::vector<Node> children) {
  Node n{0x4000, {}, std::move(children)};
  PutString(n.data, name);
  return n;
}
inline Node TriMesh(std::vector<Node> children) { return Node{0x4100, {}, std::move(children)}; }
// A mesh object with vertices, texture coordinates (one per vertex) and faces.
inline Node MeshObject(const std::string& name, const std::vector<Vector3>& vertices,
                       const std::vector<Face>& faces) {
  std::vector<TexCoord> coords;
  for (size_t k = 0; k < vertices.size(); ++k) coords.push_back({k * 0.5f, k * 0.25f});
  return Object(name, {TriMesh({VertexList(vertices), TexCoordList(coords), FaceList(faces)})});
}
inline Node LightObject(const std::string& name) {
  Node light{0x4600, {}, {}};
  for (float f : {1.0f, 2.0f, 3.0f}) PutF32(light.data, f);
  return Object(name, {light});
}
inline Node CameraObject(const std::string& name) {
  Node camera{0x4700, {}, {}};
  for (int k = 0; k < 8; ++k) PutF32(camera.data, static_cast<float>(k));
  return Object(name, {camera});
}
// root { version, editor data { mesh version, objects... } }.
inline Node Model(std::vector<Node> objects, uint16_t rootId = 0x4D4D) {
  Node version{0x0002, {}, {}};
  PutU32(version.data, 3);
  Node meshVersion{0x3D3E, {}, {}};
  PutU32(meshVersion.data, 3);
  objects.insert(objects.begin(), meshVersion);
  return Node{rootId, {}, {version, Node{0x3D3D, {}, std::move(objects)}}};
}

}  // namespace Write3DS
