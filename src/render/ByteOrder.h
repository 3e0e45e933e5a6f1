// Little-endian numbers in byte buffers, read out of files and packets and written in; 3DS chunks.
#pragma once
#include <bit>
#include <cstdint>
#include <vector>

// The value stored little-endian at p (2 or 4 bytes, which the caller has checked are there).
inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline float ReadLEFloat(const uint8_t* p) { return std::bit_cast<float>(ReadLE32(p)); }

// Appends the value little-endian.
inline void PutLE16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
inline void PutLEFloat(std::vector<uint8_t>& out, float f) { PutLE32(out, std::bit_cast<uint32_t>(f)); }

// A chunk as 3DS model files frame them: the id, the length of the whole chunk (this 6-byte
// header included, plus lengthFix, which makes broken files for tests), then the body.
inline void PutChunk3DS(std::vector<uint8_t>& out, uint16_t id, const std::vector<uint8_t>& body,
                        int64_t lengthFix = 0) {
  PutLE16(out, id);
  PutLE32(out, static_cast<uint32_t>(6 + static_cast<int64_t>(body.size()) + lengthFix));
  out.insert(out.end(), body.begin(), body.end());
}
