// The data folder and whole-file reading for the loaders.
#include "platform/DataFiles.h"

#include <cstdio>

namespace {
std::string Folder;
}  // namespace

void SetDataFolder(const std::string& folder) { Folder = folder; }
const std::string& DataFolder() { return Folder; }

std::string DataFilePath(const std::string& name) {
  if (Folder.empty() || name.empty() || name.front() == '/') return name;
  return Folder.back() == '/' ? Folder + name : Folder + "/" + name;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  bool failed = false;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      failed = std::ferror(file) != 0;
      break;
    }
  }
  std::fclose(file);
  if (failed) return std::nullopt;
  return bytes;
}
