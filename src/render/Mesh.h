// Indexed triangle meshes: positions, texture coordinates, normals, a material, both draw paths.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "render/Types.h"

// One (u, v) texture coordinate per vertex.
struct TexCoord {
  float u = 0, v = 0;
};
// Three vertex indices (corner 0, 1, 2), handed to GL as unsigned 32-bit indices.
using MeshFace = std::array<int32_t, 3>;
static_assert(sizeof(MeshFace) == 12, "faces must be tightly packed for glDrawElements");

// How a mesh's Draw sets the surface up; every field starts as zero / false.
class Material {
 public:
  TextureId Texture = 0;
  bool Blended = false;
  bool SphereMap = false;
  int32_t Kind = 0;  // 0 plain colour, 1 textured, anything else: the current state
  ColorRGBA Colour;
  ColorRGBA BlendColour;
  bool AlphaBlend = false;
  // Sets the surface state for Kind 0 or 1; any other Kind does nothing.
  void Apply() const;
};

// Positions and texture coordinates. Invariant: Vertices and TexCoords hold at least
// VertexCount entries, Faces at least FaceCount, and every face index is below VertexCount.
class TMeshData {
 public:
  TMeshData() = default;
  virtual ~TMeshData();
  TMeshData(const TMeshData&) = default;
  TMeshData& operator=(const TMeshData&) = default;

  std::vector<Vector3> Vertices;
  std::vector<MeshFace> Faces;
  std::vector<TexCoord> TexCoords;
  int32_t VertexCount = 0;
  int32_t FaceCount = 0;
  std::string Name;

  // Appends a vertex and returns its index.
  virtual int32_t AddVertex(const Vector3& position, const TexCoord& texCoord);
  // Immediate mode: one GL_TRIANGLES block with texture coordinates and positions.
  virtual void Draw() const;
  // n vertices and f faces (new entries zero).
  virtual void SetSize(int32_t n, int32_t f);
  // Vertex arrays: one glDrawElements; sets no state besides the client arrays it enables and
  // disables again.
  virtual void DrawArrays() const;
  // Empties every array and sets both counts to 0.
  virtual void Clear();
  // The positions of the face's corners 0, 1, 2.
  Triangle GetFaceTriangle(int32_t face) const;
};

// Adds one normal per vertex.
class TMeshDataN : public TMeshData {
 public:
  std::vector<Vector3> Normals;

  int32_t AddVertex(const Vector3& position, const TexCoord& texCoord) override;
  // Immediate mode with normals, one begin/end pair per triangle.
  void Draw() const override;
  // As the base, then sizes Normals and runs ComputeAllNormals.
  void SetSize(int32_t n, int32_t f) override;
  void DrawArrays() const override;
  // Points the vertex, normal and texture coordinate arrays at this mesh and enables them, for
  // many indexed draws of it in a row; DisableArrays switches the three off again.
  void EnableArrays() const;
  static void DisableArrays();
  void Clear() override;
  // The normalised sum of the face normals of every face using vertex i (scans all faces).
  Vector3 ComputeVertexNormal(int32_t i) const;
  // Normals[i] = ComputeVertexNormal(i) for every vertex; quadratic.
  void ComputeAllNormals();
};

// Adds an owned material, applied by Draw (never by DrawArrays).
class TMeshDataNM : public TMeshDataN {
 public:
  Material MeshMaterial;

  // Applies the material, then draws as TMeshDataN.
  void Draw() const override;
  void Clear() override;
};

// Smooth normals: face normals (area-weighted) summed per corner, then normalised. A vertex no
// face uses ends up with NaN components.
void ComputeNormals(TMeshDataN& mesh);
// The same with the triangles built from positions (VertexCount entries) instead of Vertices.
void ComputeNormalsFrom(TMeshDataN& mesh, const std::vector<Vector3>& positions);
// RotateVector on every vertex; normals are left alone.
void RotateMesh(TMeshData& mesh, const Vector3& angles);
// Multiplies every vertex component-wise by factors; normals are left alone.
void ScaleMesh(TMeshData& mesh, const Vector3& factors);
// Multiplies every u by su and every v by sv.
void ScaleTexCoords(TMeshData& mesh, float su, float sv);
// Every face corner of a group of exactly coincident vertices is redirected to the group's
// highest index; no vertex is removed. O(n log n).
void WeldVertices(TMeshData& mesh);
// The faces of a closed solid (every edge between two vertex positions shared by exactly two
// faces whose windings can be made to agree), each wound counter-clockwise as seen from outside:
// with back faces culled such a solid, seen from outside, then draws exactly the pixels it draws
// without, for about half the triangles. Returns false, leaving faces empty, for any other mesh
// (open, with an edge of three faces, a degenerate edge or an index out of range).
bool OutwardFacesOfClosedSolid(const TMeshData& mesh, std::vector<MeshFace>& faces);
// A box-like solid with rounded or bevelled edges seen from afar: of the given faces, those whose
// corners all lie in one of the six planes of the mesh's bounding box, each grown in its plane to
// the box's edges (a corner on the face's outermost edge moves out to the box's), with the
// corners' normals and the faces' winding as they are. A brick of 108 triangles gives the 12 of
// its six flat sides. Returns false, leaving box empty, unless every plane has such faces.
bool FlatSidesGrownToBox(const TMeshDataN& mesh, const std::vector<MeshFace>& faces,
                         TMeshDataN& box);
