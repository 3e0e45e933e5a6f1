// Deform-brush buffers: whole-buffer arithmetic and drawing a mesh from a buffer.
#include "render/DeformBrush.h"

#include <algorithm>

#include "platform/GL.h"
#include "render/RenderState.h"
#include "render/VectorMath.h"

TOrvDeformBrush::TOrvDeformBrush(int32_t count, int32_t length)
    : Buffers(std::max(count, 0), std::vector<Vector3>(std::max(length, 0))),
      BufferCount(std::max(count, 0)) {}

void TOrvDeformBrush::LoadModel(const std::string& fileName) {
  TModelLoaderScope loader;
  Brush.Load3DS(fileName);
}

void TOrvDeformBrush::SelectMesh(int32_t i) {
  MeshIndex = i;
  ResizeBuffers(SelectedMesh().VertexCount);
}

void TOrvDeformBrush::ResizeBuffers(int32_t n) {
  n = std::max(n, 0);
  for (auto& buffer : Buffers) buffer.resize(n);
  BufferLength = n;
}

void TOrvDeformBrush::LoadFrom(int32_t b, const std::vector<Vector3>& source, int32_t available) {
  if (!Valid(b)) return;
  // The buffer already has BufferLength entries after SelectMesh, so this copies in place
  // rather than allocating a fresh buffer every frame.
  std::vector<Vector3>& buffer = Buffers[b];
  buffer.resize(BufferLength);
  const int32_t n = std::min({BufferLength, available, static_cast<int32_t>(source.size())});
  std::copy_n(source.begin(), n, buffer.begin());
}

void TOrvDeformBrush::LoadPositions(int32_t b) {
  TMeshDataNM& mesh = SelectedMesh();
  LoadFrom(b, mesh.Vertices, mesh.VertexCount);
}

void TOrvDeformBrush::LoadNormals(int32_t b) {
  TMeshDataNM& mesh = SelectedMesh();
  LoadFrom(b, mesh.Normals, mesh.VertexCount);
}

void TOrvDeformBrush::CopyBuffer(int32_t source, int32_t target) {
  if (!Valid(source) || !Valid(target) || source == target) return;
  std::copy_n(Buffers[source].begin(), BufferLength, Buffers[target].begin());
}

void TOrvDeformBrush::AddBuffer(int32_t target, int32_t source) {
  if (!Valid(source) || !Valid(target)) return;
  std::vector<Vector3>& t = Buffers[target];
  const std::vector<Vector3>& s = Buffers[source];
  for (int32_t k = 0; k < BufferLength; ++k) AddVectors(t[k], s[k], t[k]);
}

void TOrvDeformBrush::ScaleBuffer(int32_t b, float s) {
  if (!Valid(b)) return;
  for (int32_t k = 0; k < BufferLength; ++k) ScaleVector(Buffers[b][k], Buffers[b][k], s);
}

void TOrvDeformBrush::DrawBuffer(int32_t b) const {
  if (!Valid(b)) return;
  const TMeshDataNM& mesh = Brush.Mesh(MeshIndex);
  const std::vector<Vector3>& buffer = Buffers[b];
  // GL would read past a buffer or array shorter than the vertices the faces refer to.
  const size_t needed = static_cast<size_t>(mesh.VertexCount);
  if (buffer.size() < needed || mesh.Normals.size() < needed || mesh.TexCoords.size() < needed)
    return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, buffer.data());
  glNormalPointer(GL_FLOAT, 0, mesh.Normals.data());
  glTexCoordPointer(2, GL_FLOAT, 0, mesh.TexCoords.data());
  if (mesh.FaceCount > 0 && !DrawingUnseen())
    glDrawElements(GL_TRIANGLES, 3 * mesh.FaceCount, GL_UNSIGNED_INT, mesh.Faces.data());
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
