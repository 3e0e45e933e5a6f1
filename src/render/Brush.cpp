// Brush loading through the model reader, and the whole-brush rotation and scaling.
#include "render/Brush.h"

#include <algorithm>

#include "platform/Messages.h"
#include "platform/Window.h"
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
  LoadMeshes(fileName, [&] { ModelLoader->LoadFromFile(fileName); });
}

void TOrvBrush::Load3DS(const std::string& fileName, std::span<const uint8_t> bytes) {
  LoadMeshes(fileName, [&] { ModelLoader->LoadFromBytes(fileName, bytes); });
}

void TOrvBrush::LoadMeshes(const std::string& fileName, const std::function<void()>& parse) {
  // Called outside a loader scope (a plain brush loading itself), it opens its own.
  std::unique_ptr<TModelLoaderScope> ownLoader;
  if (!ModelLoader) ownLoader = std::make_unique<TModelLoaderScope>();
  Empty();
  try {
    parse();
    // The reader takes a file of another kind (a picture, a text) as a model without meshes; the
    // show goes on with it empty, but the user should know why it is missing.
    const uint16_t root = ModelLoader->File->Root().Id;
    if (root != Chunk3DS::ModelRoot && root != Chunk3DS::ProjectRoot &&
        root != Chunk3DS::MaterialRoot)
      ShowMessage(Model3DSCaption, "Couldn't load \"" + fileName + "\". It is not a 3DS file.");
    const int32_t count = ModelLoader->MeshCount;
    Meshes.reserve(count);
    for (int32_t i = 0; i < count; ++i) {
      QuitCheckpoint();
      Meshes.push_back(ModelLoader->BuildMesh(i));
      ComputeNormals(*Meshes.back());
    }
    MeshCount = count;
    ModelLoader->FreeFile();
  } catch (const E3DSError& error) {
    Empty();
    ModelLoader->FreeFile();
    // The scene loaders go on with an empty brush; this is where the user learns which model
    // is missing or damaged.
    std::string text = "Couldn't load \"" + fileName + "\". " + error.what();
    std::replace(text.begin(), text.end(), '\r', '\n');
    ShowMessage(Model3DSCaption, text);
    throw;
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

bool TOrvBrush::TryLoadFile(const std::string& fileName) {
  try {
    LoadFile(fileName);
    return true;
  } catch (const E3DSError&) {
    return false;
  }
}
