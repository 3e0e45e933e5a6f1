// Fuzz target: any bytes as a model file either load into a brush whose faces all index its
// vertices, or fail with the reader's own error; nothing else may escape.
#include <cstdlib>
#include <span>

#include "render/Brush.h"
#include "render/File3DS.h"
#include "render/Mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    // What TOrvBrush::LoadFile does with a file: the meshes, then the model turn.
    TOrvBrush brush;
    brush.Load3DS("fuzz input", std::span<const uint8_t>(data, size));
    brush.Rotate({270.0f, 0.0f, 0.0f});
    for (int32_t i = 0; i < brush.MeshCount; ++i) {
      TMeshDataNM& mesh = brush.Mesh(i);
      if (int32_t(mesh.Vertices.size()) != mesh.VertexCount ||
          int32_t(mesh.Faces.size()) != mesh.FaceCount ||
          mesh.TexCoords.size() != mesh.Vertices.size() ||
          mesh.Normals.size() != mesh.Vertices.size())
        std::abort();
      for (const auto& face : mesh.Faces)
        for (int corner = 0; corner < 3; ++corner)
          if (face[corner] < 0 || face[corner] >= mesh.VertexCount) std::abort();
      WeldVertices(mesh);
    }
  } catch (const E3DSError&) {
    // The reader's refusal is the expected outcome for most inputs.
  }
  return 0;
}
