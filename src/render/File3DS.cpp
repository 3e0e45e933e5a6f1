// 3DS reading: every chunk is checked against its parent and the file before anything is read.
#include "render/File3DS.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/DataFiles.h"
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
    const uint16_t value = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return value;
  }
  uint32_t U32() {
    Need(4);
    uint32_t value = 0;
    for (int k = 3; k >= 0; --k) value = value << 8 | data_[pos_ + k];
    pos_ += 4;
    return value;
  }
  float F32() {
    const uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
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
}  // namespace

void Raise3DSError(const std::string& message) {
  ErrorBeep();
  throw E3DSError(message);
}

TFile3DS::TFile3DS(const std::string& fileName) : fileName_(fileName) {
  QuitCheckpoint();
  file_ = std::fopen(DataFilePath(fileName).c_str(), "rb");
  if (!file_) Raise3DSError("Cannot open the model file \"" + fileName + "\".");
  try {
    Guarded([&] {
      if (std::fseek(file_, 0, SEEK_END) != 0) Fail("cannot be read");
      const long size = std::ftell(file_);
      if (size < 0) Fail("cannot be read");
      fileSize_ = static_cast<uint64_t>(size);
      if (fileSize_ < 6) Fail("is too short to hold a chunk");

      uint8_t header[6];
      ReadAt(0, header, 6);
      root_ = std::make_unique<TChunk3DS>();
      root_->Id = static_cast<uint16_t>(header[0] | header[1] << 8);
      root_->Length = static_cast<uint32_t>(header[2] | header[3] << 8 | header[4] << 16 |
                                            static_cast<uint32_t>(header[5]) << 24);
      if (root_->Length < 6) Fail("starts with a chunk shorter than its 6-byte header");
      // A file of another kind is a root alone: nothing below it is looked at.
      if (!IsRootId(root_->Id)) return;
      if (root_->Length > fileSize_)
        Fail("ends " + std::to_string(root_->Length - fileSize_) +
             " bytes before its root chunk does");
      ReadChildren(*root_, 0);
    });
  } catch (...) {
    std::fclose(file_);
    file_ = nullptr;
    throw;
  }
}

TFile3DS::~TFile3DS() {
  if (file_) std::fclose(file_);
}

void TFile3DS::Fail(const std::string& what) const {
  Raise3DSError("The model file \"" + fileName_ + "\" " + what + ".");
}

void TFile3DS::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > fileSize_ || size > fileSize_ - offset) Fail("is shorter than its chunks say");
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0 ||
      std::fread(buffer, 1, size, file_) != size)
    Fail("could not be read");
}

std::vector<uint8_t> TFile3DS::ReadChunkData(const TChunk3DS& chunk) {
  return Guarded([&] {
    std::vector<uint8_t> data(chunk.Length - 6);
    if (!data.empty()) ReadAt(chunk.Offset + 6, data.data(), data.size());
    return data;
  });
}

std::string TFile3DS::ReadObjectName(const TChunk3DS& node) {
  // The name ends at its zero byte, which must lie inside the chunk; it is read in blocks so
  // that the object's mesh data is not read with it.
  const uint64_t body = node.Length - 6;
  std::string name;
  char block[256];
  for (;;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof block, body - name.size()));
    if (want == 0)
      Fail("has an object name at offset " + std::to_string(node.Offset) +
           " that runs past its chunk");
    ReadAt(node.Offset + 6 + name.size(), block, want);
    const void* zero = std::memchr(block, 0, want);
    if (zero) return name.append(block, static_cast<const char*>(zero) - block);
    name.append(block, want);
  }
}

uint64_t TFile3DS::OwnDataSize(const TChunk3DS& node) {
  const uint64_t body = node.Length - 6;
  uint64_t size = 0;
  switch (node.Id) {
    case Chunk3DS::NamedObject: return ReadObjectName(node).size() + 1;
    case Chunk3DS::FaceList: {
      if (body < 2) break;
      uint8_t count[2];
      ReadAt(node.Offset + 6, count, 2);
      size = 2 + 8ull * (count[0] | count[1] << 8);
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
    uint8_t header[6];
    ReadAt(pos, header, 6);
    const uint16_t id = static_cast<uint16_t>(header[0] | header[1] << 8);
    const uint32_t length = static_cast<uint32_t>(header[2] | header[3] << 8 | header[4] << 16 |
                                                  static_cast<uint32_t>(header[5]) << 24);
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
