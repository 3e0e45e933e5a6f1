// Fuzz target: any bytes as a model file either load into a brush whose faces all index its
// vertices, or fail with the reader's own error; nothing else may escape.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/Brush.h"
#include "render/File3DS.h"
#include "render/Mesh.h"

namespace {
// The reader opens files by name, so each input goes through one scratch file of this process.
const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/vantrel-fuzz-" + std::to_string(getpid()) +
           ".3ds";
  }();
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  if (!file) std::abort();
  if (size && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  try {
    TOrvBrush brush(ScratchPath());
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
