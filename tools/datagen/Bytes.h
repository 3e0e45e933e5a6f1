// Byte writing (little-endian, through render/ByteOrder.h) and whole-file saving for the writers.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/ByteOrder.h"

namespace datagen {

inline void Put16(std::vector<uint8_t>& out, uint32_t v) { PutLE16(out, static_cast<uint16_t>(v)); }
inline void Put32(std::vector<uint8_t>& out, uint32_t v) { PutLE32(out, v); }
inline void PutFloat(std::vector<uint8_t>& out, float f) { PutLEFloat(out, f); }

template <class Byte>
void SaveFile(const std::string& path, const std::vector<Byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace datagen
