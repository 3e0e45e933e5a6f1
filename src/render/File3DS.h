// The 3DS model reader: a chunk tree read on demand, mesh records, and their conversion to meshes.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/Mesh.h"
#include "render/Types.h"

// Every failure of the model reader; the error beep has sounded before it is thrown.
class E3DSError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The reader's fixed messages (line breaks are single carriage returns).
inline constexpr const char* Msg3DSOutOfMemory = "Not enough memory to complete operation.";
inline constexpr const char* Msg3DSNotCreated =
    "The database passed as an argument has not be created yet.";
inline constexpr const char* Msg3DSWrongDatabase =
    "The database passed as an argument is the wrong kind of\rdatabase for this function.";
inline constexpr const char* Msg3DSWrongObject =
    "The Name passed to the functions exists but is not the type of object asked for.\rFor "
    "example asking for a mesh object with the GetCameraByName3DS function.";

// Chunk ids the reader and its callers refer to.
namespace Chunk3DS {
inline constexpr uint16_t ModelRoot = 0x4D4D, ProjectRoot = 0xC23D, MaterialRoot = 0x3DAA;
inline constexpr uint16_t EditorData = 0x3D3D, NamedObject = 0x4000, TriangleMesh = 0x4100;
inline constexpr uint16_t VertexList = 0x4110, VertexFlags = 0x4111, FaceList = 0x4120;
inline constexpr uint16_t MaterialGroup = 0x4130, TexCoords = 0x4140, SmoothGroups = 0x4150;
inline constexpr uint16_t MeshMatrix = 0x4160, MeshColour = 0x4165, MappingInfo = 0x4170;
inline constexpr uint16_t ProcName = 0x4181, ProcData = 0x4182, BoxMap = 0x4190;
inline constexpr uint16_t Light = 0x4600, Camera = 0x4700, ExtendedData = 0x8001;
}  // namespace Chunk3DS

// One node of the chunk tree: where the chunk lies in the file and its children in file order.
struct TChunk3DS {
  uint16_t Id = 0;
  uint32_t Length = 0;  // the whole chunk, header included
  uint64_t Offset = 0;  // offset of the header in the file's bytes
  TChunk3DS* Parent = nullptr;
  std::vector<std::unique_ptr<TChunk3DS>> Children;
};

struct TFace3DS {
  uint16_t A = 0, B = 0, C = 0, Flags = 0;
};
struct TMaterialGroup3DS {
  std::string Name;
  std::vector<uint16_t> Faces;
};

// Everything the file says about one triangle-mesh object.
struct TMesh3DS {
  std::string Name;
  std::vector<Vector3> Vertices;
  std::vector<uint16_t> VertexFlags;
  std::vector<TexCoord> TexCoords;
  std::vector<uint8_t> MappingInfo;  // raw map type and parameters
  bool HasMatrix = false;
  std::array<float, 12> Matrix{};
  std::vector<TFace3DS> Faces;
  std::vector<uint32_t> SmoothingGroups;
  std::vector<std::string> BoxMap;
  uint8_t MeshColour = 0;
  std::vector<TMaterialGroup3DS> MaterialGroups;
  std::string ProcName;
  std::vector<uint8_t> ProcData;
  std::array<bool, 8> ObjectFlags{};  // chunks 0x4010 ... 0x4017 present under the object
};

// A 3DS file's bytes with their chunk tree; mesh records are extracted only when asked for.
class TFile3DS {
 public:
  // Reads the whole file (a relative name from the data folder) and builds the chunk tree;
  // E3DSError if it cannot be opened or read, or is malformed.
  explicit TFile3DS(const std::string& fileName);
  // Builds the chunk tree over the bytes of a model file; fileName only names it in messages.
  // E3DSError if they are malformed.
  TFile3DS(const std::string& fileName, std::vector<uint8_t> bytes);
  TFile3DS(const TFile3DS&) = delete;
  TFile3DS& operator=(const TFile3DS&) = delete;

  // The root chunk (id 0x4D4D, 0xC23D, 0x3DAA, or any other id with no children).
  const TChunk3DS& Root() const { return *root_; }
  // Named objects with a triangle mesh below them (lights and cameras do not count).
  int32_t MeshCount();
  // Mesh object i in file order, extracted on the first request and cached; E3DSError for a
  // file of the wrong kind, an index out of range or malformed mesh data.
  const TMesh3DS& Mesh(int32_t index);
  // A copy of the chunk's bytes after its 6-byte header.
  std::vector<uint8_t> ReadChunkData(const TChunk3DS& chunk);
  const std::string& FileName() const { return fileName_; }

 private:
  void ReadChildren(TChunk3DS& node, int depth);
  uint64_t OwnDataSize(const TChunk3DS& node);
  std::string ReadObjectName(const TChunk3DS& node);
  // The size bytes at offset, which must lie inside the file (the reader's error otherwise).
  const uint8_t* At(uint64_t offset, uint64_t size) const;
  void BuildObjectIndex();
  TMesh3DS ExtractMesh(const TChunk3DS& object);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string fileName_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<TChunk3DS> root_;
  bool indexed_ = false;
  std::vector<const TChunk3DS*> meshObjects_;
  std::vector<std::unique_ptr<TMesh3DS>> meshCache_;
};

// Converts the meshes of one 3DS file into TMeshDataNM objects.
class T3DSLoader {
 public:
  // Reads and parses the file and records its mesh count; E3DSError on failure.
  void LoadFromFile(const std::string& fileName);
  // The same for a model file's bytes already in memory; fileName names it in messages.
  void LoadFromBytes(const std::string& fileName, std::span<const uint8_t> bytes);
  // A new mesh (positions, per-vertex texture coordinates, faces, name; zero normals) built from
  // mesh object index; E3DSError for a face corner past the vertex list.
  std::unique_ptr<TMeshDataNM> BuildMesh(int32_t index);
  // Releases the parsed file (its meshes have been built).
  void FreeFile() { File.reset(); }

  std::unique_ptr<TFile3DS> File;
  int32_t MeshCount = 0;
};

// Sounds the error beep and throws E3DSError with the message.
[[noreturn]] void Raise3DSError(const std::string& message);
