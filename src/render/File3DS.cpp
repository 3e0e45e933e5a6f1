// 3DS reading: every chunk is checked against its parent and the file before anything is read.
#include "render/File3DS.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/DataFiles.h"
#include "render/ByteOrder.h"
#include "platform/Messages.h"
#include "platform/Window.h"

namespace {
// Real models nest about six deep; the limit keeps a hostile file from exhausting the stack.
constexpr int MaxChunkDepth = 64;

bool IsRootId(uint16_t id) {
  return id == Chunk3DS::ModelRoot || id == Chunk3DS::ProjectRoot || id == Chunk3DS::MaterialRoot;
}

// Chunks that hold sub-chunks after no own data. The ones with own data are handled in
// OwnDataSize; every other chunk is a leaf.
bool IsPlainContainer(uint16_t id) {
  switch (id) {
    case Chunk3DS::ModelRoot: case Chunk3DS::ProjectRoot: case Chunk3DS::MaterialRoot:
    case Chunk3DS::EditorData: case Chunk3DS::TriangleMesh: case Chunk3DS::ExtendedData:
    case 0x7001:  // viewport layout
    case 0xAFFF:  // material entry
    case 0xA010: case 0xA020: case 0xA030:  // material colours
    case 0xA040: case 0xA041: case 0xA050: case 0xA052: case 0xA053:  // material percentages
    case 0xA200: case 0xA204: case 0xA210: case 0xA220: case 0xA230:  // texture maps
    case 0xA33A: case 0xA33C: case 0xA33E: case 0xA340: case 0xA342: case 0xA344:
    case 0xA346: case 0xA348: case 0xA34A: case 0xA34C:
    case 0xB000:  // keyframer
    case 0xB001: case 0xB002: case 0xB003: case 0xB004: case 0xB005: case 0xB006: case 0xB007:
      return true;
    default:
      return false;
  }
}

bool HasOwnDataThenChildren(uint16_t id) {
  return id == Chunk3DS::NamedObject || id == Chunk3DS::FaceList || id == Chunk3DS::Light ||
         id == 0x4610 /* spotlight */ || id == Chunk3DS::Camera;
}

std::string Hex(uint16_t id) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", id);
  return text;
}

const TChunk3DS* FindDepthFirst(const TChunk3DS& node, uint16_t id) {
  for (const auto& child : node.Children) {
    if (child->Id == id) return child.get();
    if (const TChunk3DS* found = FindDepthFirst(*child, id)) return found;
  }
  return nullptr;
}

const TChunk3DS* FindChild(const TChunk3DS& node, uint16_t id) {
  for (const auto& child : node.Children)
    if (child->Id == id) return child.get();
  return nullptr;
}

// The chunk and its later siblings with the same id, in file order.
std::vector<const TChunk3DS*> WithLaterSiblings(const TChunk3DS* first) {
  std::vector<const TChunk3DS*> result;
  if (!first) return result;
  const auto& siblings = first->Parent->Children;
  bool seen = false;
  for (const auto& sibling : siblings) {
    if (sibling.get() == first) seen = true;
    if (seen && sibling->Id == first->Id) result.push_back(sibling.get());
  }
  return result;
}

// Checked little-endian reads over one chunk's data.
class ChunkReader {
 public:
  ChunkReader(const std::vector<uint8_t>& data, const TChunk3DS& chunk, const TFile3DS& file)
      : data_(data), chunk_(chunk), file_(file) {}

  void Need(uint64_t bytes) const {
    if (bytes > data_.size() - pos_)
      Raise3DSError("The data of chunk " + Hex(chunk_.Id) + " at offset " +
                    std::to_string(chunk_.Offset) + " in \"" + file_.FileName() +
                    "\" is shorter than its contents say.");
  }
  uint8_t U8() {
    Need(1);
    return data_[pos_++];
  }
  uint16_t U16() {
    Need(2);
    const uint16_t value = ReadLE16(&data_[pos_]);
    pos_ += 2;
    return value;
  }
  uint32_t U32() {
    Need(4);
    const uint32_t value = ReadLE32(&data_[pos_]);
    pos_ += 4;
    return value;
  }
  float F32() {
    return std::bit_cast<float>(U32());
  }
  std::string ZString() {
    const auto begin = data_.begin() + static_cast<std::ptrdiff_t>(pos_);
    const auto end = std::find(begin, data_.end(), uint8_t{0});
    if (end == data_.end()) Need(data_.size() - pos_ + 1);
    std::string text(begin, end);
    pos_ += text.size() + 1;
    return text;
  }
  std::vector<uint8_t> Rest() {
    std::vector<uint8_t> rest(data_.begin() + static_cast<std::ptrdiff_t>(pos_), data_.end());
    pos_ = data_.size();
    return rest;
  }
  size_t Remaining() const { return data_.size() - pos_; }

 private:
  const std::vector<uint8_t>& data_;
  const TChunk3DS& chunk_;
  const TFile3DS& file_;
  size_t pos_ = 0;
};

// Runs a reader entry point, turning an allocation failure into the reader's own error.
template <class Body>
auto Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    Raise3DSError(Msg3DSOutOfMemory);
  }
}

// The whole model file (a relative name from the data folder), read before any of it is parsed.
std::vector<uint8_t> ReadModelFile(const std::string& fileName) {
  QuitCheckpoint();
  const std::string path = DataFilePath(fileName);
  std::optional<std::vector<uint8_t>> bytes = Guarded([&] { return ReadWholeFile(path); });
  if (bytes) return std::move(*bytes);
  // A file that opens but cannot be read whole (a folder, an I/O error) is told apart from one
  // that is missing or not readable at all.
  if (access(path.c_str(), R_OK) == 0)
    Raise3DSError("The model file \"" + fileName + "\" could not be read.");
  Raise3DSError("Cannot open the model file \"" + fileName + "\".");
}
}  // namespace

void Raise3DSError(const std::string& message) {
  ErrorBeep();
  throw E3DSError(message);
}

TFile3DS::TFile3DS(const std::string& fileName) : TFile3DS(fileName, ReadModelFile(fileName)) {}

TFile3DS::TFile3DS(const std::string& fileName, std::vector<uint8_t> bytes)
    : fileName_(fileName), bytes_(std::move(bytes)) {
  Guarded([&] {
    if (bytes_.size() < 6) Fail("is too short to hold a chunk");
    const uint8_t* header = At(0, 6);
    root_ = std::make_unique<TChunk3DS>();
    root_->Id = ReadLE16(header);
    root_->Length = ReadLE32(header + 2);
    if (root_->Length < 6) Fail("starts with a chunk shorter than its 6-byte header");
    // A file of another kind is a root alone: nothing below it is looked at.
    if (!IsRootId(root_->Id)) return;
    if (root_->Length > bytes_.size())
      Fail("ends " + std::to_string(root_->Length - bytes_.size()) +
           " bytes before its root chunk does");
    ReadChildren(*root_, 0);
  });
}

void TFile3DS::Fail(const std::string& what) const {
  Raise3DSError("The model file \"" + fileName_ + "\" " + what + ".");
}

const uint8_t* TFile3DS::At(uint64_t offset, uint64_t size) const {
  if (offset > bytes_.size() || size > bytes_.size() - offset)
    Fail("is shorter than its chunks say");
  return bytes_.data() + offset;
}

std::vector<uint8_t> TFile3DS::ReadChunkData(const TChunk3DS& chunk) {
  return Guarded([&] {
    const uint8_t* data = At(chunk.Offset + 6, chunk.Length - 6);
    return std::vector<uint8_t>(data, data + (chunk.Length - 6));
  });
}

std::string TFile3DS::ReadObjectName(const TChunk3DS& node) {
  // The name ends at its zero byte, which must lie inside the chunk.
  const uint64_t body = node.Length - 6;
  const uint8_t* name = At(node.Offset + 6, body);
  const void* zero = body ? std::memchr(name, 0, body) : nullptr;
  if (!zero)
    Fail("has an object name at offset " + std::to_string(node.Offset) +
         " that runs past its chunk");
  return std::string(reinterpret_cast<const char*>(name),
                     static_cast<size_t>(static_cast<const uint8_t*>(zero) - name));
}

uint64_t TFile3DS::OwnDataSize(const TChunk3DS& node) {
  const uint64_t body = node.Length - 6;
  uint64_t size = 0;
  switch (node.Id) {
    case Chunk3DS::NamedObject: return ReadObjectName(node).size() + 1;
    case Chunk3DS::FaceList: {
      if (body < 2) break;
      size = 2 + 8ull * ReadLE16(At(node.Offset + 6, 2));
      break;
    }
    case Chunk3DS::Light: size = 12; break;
    case 0x4610: size = 20; break;
    case Chunk3DS::Camera: size = 32; break;
    default: return 0;
  }
  if (size == 0 || size > body)
    Fail("has a chunk " + Hex(node.Id) + " at offset " + std::to_string(node.Offset) +
         " whose count runs past its end");
  return size;
}

void TFile3DS::ReadChildren(TChunk3DS& node, int depth) {
  if (!IsPlainContainer(node.Id) && !HasOwnDataThenChildren(node.Id)) return;
  if (depth >= MaxChunkDepth) Fail("has its chunks nested too deeply");
  const uint64_t end = node.Offset + node.Length;
  uint64_t pos = node.Offset + 6 + OwnDataSize(node);
  while (pos < end) {
    if (end - pos < 6)
      Fail("has a chunk header at offset " + std::to_string(pos) +
           " that runs past the end of its parent");
    const uint8_t* header = At(pos, 6);
    const uint16_t id = ReadLE16(header);
    const uint32_t length = ReadLE32(header + 2);
    // The extended-data section takes only its own kinds of children that end inside it; at
    // anything else its scan stops and the rest of the section is passed over.
    if (node.Id == Chunk3DS::ExtendedData &&
        (id < 0x8002 || id > 0x800F || length < 6 || length > end - pos))
      return;
    if (length < 6)
      Fail("has a chunk " + Hex(id) + " at offset " + std::to_string(pos) +
           " shorter than its 6-byte header");
    if (length > end - pos)
      Fail("has a chunk " + Hex(id) + " at offset " + std::to_string(pos) +
           " that runs past the end of its parent");
    auto child = std::make_unique<TChunk3DS>();
    child->Id = id;
    child->Length = length;
    child->Offset = pos;
    child->Parent = &node;
    TChunk3DS& added = *node.Children.emplace_back(std::move(child));
    ReadChildren(added, depth + 1);
    pos += length;
  }
}

void TFile3DS::BuildObjectIndex() {
  if (indexed_) return;
  indexed_ = true;
  const TChunk3DS* editor =
      root_->Id == Chunk3DS::EditorData ? root_.get() : FindDepthFirst(*root_, Chunk3DS::EditorData);
  if (!editor) return;
  for (const TChunk3DS* object : WithLaterSiblings(FindDepthFirst(*editor, Chunk3DS::NamedObject)))
    if (FindDepthFirst(*object, Chunk3DS::TriangleMesh)) meshObjects_.push_back(object);
  meshCache_.resize(meshObjects_.size());
}

int32_t TFile3DS::MeshCount() {
  if (!root_) Raise3DSError(Msg3DSNotCreated);
  Guarded([&] { BuildObjectIndex(); });
  return static_cast<int32_t>(meshObjects_.size());
}

const TMesh3DS& TFile3DS::Mesh(int32_t index) {
  if (!root_) Raise3DSError(Msg3DSNotCreated);
  if (root_->Id != Chunk3DS::ModelRoot && root_->Id != Chunk3DS::ProjectRoot)
    Raise3DSError(Msg3DSWrongDatabase);
  const int32_t count = MeshCount();
  if (index < 0 || index >= count)
    Raise3DSError("Mesh index " + std::to_string(index) + " is out of range: \"" + fileName_ +
                  "\" holds " + std::to_string(count) + " meshes.");
  if (!meshCache_[index])
    meshCache_[index] = Guarded(
        [&] { return std::make_unique<TMesh3DS>(ExtractMesh(*meshObjects_[index])); });
  return *meshCache_[index];
}

TMesh3DS TFile3DS::ExtractMesh(const TChunk3DS& object) {
  TMesh3DS mesh;
  mesh.Name = ReadObjectName(object);
  const TChunk3DS* triangles = FindChild(object, Chunk3DS::TriangleMesh);
  if (!triangles) Raise3DSError(Msg3DSWrongObject);

  for (const auto& chunk : triangles->Children) {
    const std::vector<uint8_t> data = ReadChunkData(*chunk);
    ChunkReader in(data, *chunk, *this);
    switch (chunk->Id) {
      case Chunk3DS::VertexList: {
        const uint16_t n = in.U16();
        in.Need(12ull * n);
        mesh.Vertices.resize(n);
        for (Vector3& v : mesh.Vertices) v = {in.F32(), in.F32(), in.F32()};
        break;
      }
      case Chunk3DS::VertexFlags: {
        const uint16_t n = in.U16();
        in.Need(2ull * n);
        mesh.VertexFlags.resize(n);
        for (uint16_t& flag : mesh.VertexFlags) flag = in.U16();
        break;
      }
      case Chunk3DS::TexCoords: {
        const uint16_t n = in.U16();
        in.Need(8ull * n);
        mesh.TexCoords.resize(n);
        for (TexCoord& t : mesh.TexCoords) t = {in.F32(), in.F32()};
        break;
      }
      case Chunk3DS::FaceList: {
        const uint16_t n = in.U16();
        in.Need(8ull * n);
        mesh.Faces.resize(n);
        for (TFace3DS& f : mesh.Faces) f = {in.U16(), in.U16(), in.U16(), in.U16()};
        for (const TChunk3DS* group :
             WithLaterSiblings(FindDepthFirst(*chunk, Chunk3DS::MaterialGroup))) {
          const std::vector<uint8_t> groupData = ReadChunkData(*group);
          ChunkReader g(groupData, *group, *this);
          TMaterialGroup3DS entry;
          entry.Name = g.ZString();
          const uint16_t count = g.U16();
          g.Need(2ull * count);
          entry.Faces.resize(count);
          for (uint16_t& face : entry.Faces) face = g.U16();
          mesh.MaterialGroups.push_back(std::move(entry));
        }
        if (const TChunk3DS* smooth = FindChild(*chunk, Chunk3DS::SmoothGroups)) {
          const std::vector<uint8_t> smoothData = ReadChunkData(*smooth);
          ChunkReader groups(smoothData, *smooth, *this);
          mesh.SmoothingGroups.resize(groups.Remaining() / 4);
          for (uint32_t& mask : mesh.SmoothingGroups) mask = groups.U32();
        }
        if (const TChunk3DS* box = FindChild(*chunk, Chunk3DS::BoxMap)) {
          const std::vector<uint8_t> boxData = ReadChunkData(*box);
          ChunkReader b(boxData, *box, *this);
          for (int k = 0; k < 6; ++k) mesh.BoxMap.push_back(b.ZString());
        }
        break;
      }
      case Chunk3DS::MeshMatrix:
        for (float& value : mesh.Matrix) value = in.F32();
        mesh.HasMatrix = true;
        break;
      case Chunk3DS::MeshColour: mesh.MeshColour = in.U8(); break;
      case Chunk3DS::MappingInfo: mesh.MappingInfo = in.Rest(); break;
      case Chunk3DS::ProcName: mesh.ProcName = in.ZString(); break;
      case Chunk3DS::ProcData: mesh.ProcData = in.Rest(); break;
      default: break;
    }
  }
  for (int k = 0; k < 8; ++k)
    mesh.ObjectFlags[k] = FindChild(object, static_cast<uint16_t>(0x4010 + k)) != nullptr;
  return mesh;
}

void T3DSLoader::LoadFromFile(const std::string& fileName) {
  File.reset();
  MeshCount = 0;
  File = std::make_unique<TFile3DS>(fileName);
  MeshCount = File->MeshCount();
}

void T3DSLoader::LoadFromBytes(const std::string& fileName, std::span<const uint8_t> bytes) {
  File.reset();
  MeshCount = 0;
  File = Guarded([&] {
    return std::make_unique<TFile3DS>(fileName, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  });
  MeshCount = File->MeshCount();
}

std::unique_ptr<TMeshDataNM> T3DSLoader::BuildMesh(int32_t index) {
  if (!File) Raise3DSError(Msg3DSNotCreated);
  const TMesh3DS& source = File->Mesh(index);
  return Guarded([&] {
    auto mesh = std::make_unique<TMeshDataNM>();
    const int32_t vertexCount = static_cast<int32_t>(source.Vertices.size());
    mesh->Vertices = source.Vertices;
    mesh->VertexCount = vertexCount;
    // Coordinates the file does not give (a missing or short list) are (0, 0).
    mesh->TexCoords.assign(vertexCount, TexCoord{});
    std::copy_n(source.TexCoords.begin(), std::min<size_t>(source.TexCoords.size(), vertexCount),
                mesh->TexCoords.begin());
    mesh->Normals.assign(vertexCount, Vector3{});
    mesh->Faces.resize(source.Faces.size());
    for (size_t k = 0; k < source.Faces.size(); ++k) {
      const TFace3DS& f = source.Faces[k];
      if (f.A >= vertexCount || f.B >= vertexCount || f.C >= vertexCount)
        Raise3DSError("Mesh \"" + source.Name + "\" in \"" + File->FileName() + "\" has face " +
                      std::to_string(k) + " referring to a vertex past its " +
                      std::to_string(vertexCount) + " vertices.");
      mesh->Faces[k] = {f.A, f.B, f.C};
    }
    mesh->FaceCount = static_cast<int32_t>(source.Faces.size());
    mesh->Name = source.Name;
    return mesh;
  });
}
