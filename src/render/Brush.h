// Brushes: one 3DS model file held as a set of meshes with smooth normals.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "render/File3DS.h"
#include "render/Mesh.h"

// Caption of the message a brush shows when its model file cannot be loaded.
inline constexpr const char* Model3DSCaption = "3DS File Error";

// The model-file loader; exists only while one brush file is being loaded.
extern std::unique_ptr<T3DSLoader> ModelLoader;

// Creates ModelLoader for its lifetime and frees it afterwards, also when loading fails.
class TModelLoaderScope {
 public:
  TModelLoaderScope();
  ~TModelLoaderScope();
  TModelLoaderScope(const TModelLoaderScope&) = delete;
  TModelLoaderScope& operator=(const TModelLoaderScope&) = delete;
};

// Every mesh object of a model file, in file order, as a mesh with normals and a material.
class TOrvBrush {
 public:
  // An empty brush: no meshes; safe to rotate, scale and address (see Mesh).
  TOrvBrush() = default;
  // Runs LoadFile; throws E3DSError, so loaders that must go on use the empty form and LoadFile.
  explicit TOrvBrush(const std::string& fileName);

  // Loads the file and turns it 270 degrees about X (z-up models become y-up); on failure shows a
  // message naming the file and throws E3DSError, leaving the brush empty.
  void LoadFile(const std::string& fileName);
  // LoadFile for loaders that go on with what they have: false (message shown, brush empty) when
  // the file cannot be read.
  bool TryLoadFile(const std::string& fileName);
  // Loads the file's meshes with smooth normals, keeping the file's orientation; on failure shows
  // a message naming the file and throws E3DSError, leaving the brush empty.
  void Load3DS(const std::string& fileName);
  // The same for a model file's bytes already in memory; fileName names it in messages.
  void Load3DS(const std::string& fileName, std::span<const uint8_t> bytes);
  // RotateMesh then ComputeNormals on every mesh.
  void Rotate(const Vector3& angles);
  // ScaleMesh on every mesh; normals are not recomputed.
  void Scale(const Vector3& factors);
  // Mesh i, or an empty mesh (which draws nothing) when the brush has no mesh i.
  TMeshDataNM& Mesh(int32_t i);
  const TMeshDataNM& Mesh(int32_t i) const;

  std::vector<std::unique_ptr<TMeshDataNM>> Meshes;
  int32_t MeshCount = 0;

 private:
  void Empty();
  // Load3DS's work once parse has put the file into ModelLoader.
  void LoadMeshes(const std::string& fileName, const std::function<void()>& parse);
  TMeshDataNM missing_;
};
