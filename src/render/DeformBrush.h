// The deform brush: one mesh of a model drawn with any of several per-vertex buffers as positions.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "render/Brush.h"

// Buffer operations take 0-based buffer indices; an index outside 0 ... BufferCount - 1 does
// nothing. Every operation processes entries 0 ... BufferLength - 1.
class TOrvDeformBrush {
 public:
  // count buffers of length zero vectors each; BufferLength stays 0 until SelectMesh.
  TOrvDeformBrush(int32_t count, int32_t length);

  // Loads the model into the inner brush in the file's orientation, with smooth normals;
  // E3DSError on failure, leaving the inner brush empty.
  void LoadModel(const std::string& fileName);
  // Selects mesh i of the inner brush and sizes every buffer to its vertex count.
  void SelectMesh(int32_t i);
  // Every buffer gets n entries (new ones zero, existing ones kept); BufferLength = n.
  void ResizeBuffers(int32_t n);
  // Buffer b = the selected mesh's positions / normals (the buffer's storage is reused).
  void LoadPositions(int32_t b);
  void LoadNormals(int32_t b);
  // target = source.
  void CopyBuffer(int32_t source, int32_t target);
  // target += source (target may equal source).
  void AddBuffer(int32_t target, int32_t source);
  // b *= s.
  void ScaleBuffer(int32_t b, float s);
  // Draws the selected mesh with buffer b as its positions, the mesh's normals and texture
  // coordinates; sets no other state. Draws nothing if the buffer is shorter than the mesh.
  void DrawBuffer(int32_t b) const;
  // The mesh being deformed (an empty stand-in when the inner brush has none).
  TMeshDataNM& SelectedMesh() { return Brush.Mesh(MeshIndex); }

  TOrvBrush Brush;
  int32_t MeshIndex = 0;
  std::vector<std::vector<Vector3>> Buffers;
  int32_t BufferCount = 0;
  int32_t BufferLength = 0;

 private:
  bool Valid(int32_t b) const { return b >= 0 && b < BufferCount; }
  void LoadFrom(int32_t b, const std::vector<Vector3>& source, int32_t available);
};
