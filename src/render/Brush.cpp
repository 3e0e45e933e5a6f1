// Brush loading through the model reader, and the whole-brush rotation and scaling.
#include "render/Brush.h"

#include "render/VectorMath.h"

std::unique_ptr<T3DSLoader> ModelLoader;

TModelLoaderScope::TModelLoaderScope() { ModelLoader = std::make_unique<T3DSLoader>(); }
TModelLoaderScope::~TModelLoaderScope() { ModelLoader.reset(); }

TOrvBrush::TOrvBrush(const std::string& fileName) { LoadFile(fileName); }

void TOrvBrush::LoadFile(const std::string& fileName) {
  TModelLoaderScope loader;
  Load3DS(fileName);
  Rotate({270.0f, 0.0f, 0.0f});
}

void TOrvBrush::Load3DS(const std::string& fileName) {
  // Called outside a loader scope (a plain brush loading itself), it opens its own.
  std::unique_ptr<TModelLoaderScope> ownLoader;
  if (!ModelLoader) ownLoader = std::make_unique<TModelLoaderScope>();
  Empty();
  try {
    ModelLoader->LoadFromFile(fileName);
    const int32_t count = ModelLoader->MeshCount;
    Meshes.reserve(count);
    for (int32_t i = 0; i < count; ++i) {
      Meshes.push_back(ModelLoader->BuildMesh(i));
      ComputeNormals(*Meshes.back());
    }
    MeshCount = count;
    ModelLoader->FreeFile();
  } catch (...) {
    // A half-loaded brush would hand scenes meshes that do not match the file's order.
    Empty();
    ModelLoader->FreeFile();
    throw;
  }
}

void TOrvBrush::Empty() {
  Meshes.clear();
  MeshCount = 0;
}

void TOrvBrush::Rotate(const Vector3& angles) {
  for (auto& mesh : Meshes) {
    RotateMesh(*mesh, angles);
    ComputeNormals(*mesh);
  }
}

void TOrvBrush::Scale(const Vector3& factors) {
  for (auto& mesh : Meshes) ScaleMesh(*mesh, factors);
}

TMeshDataNM& TOrvBrush::Mesh(int32_t i) {
  if (i >= 0 && i < MeshCount) return *Meshes[i];
  // Whatever a caller did to the stand-in last time is undone.
  missing_.Clear();
  return missing_;
}

const TMeshDataNM& TOrvBrush::Mesh(int32_t i) const {
  static const TMeshDataNM none;
  return i >= 0 && i < MeshCount ? *Meshes[i] : none;
}
