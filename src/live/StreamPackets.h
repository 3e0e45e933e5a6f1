// Stream packets of the live mode: the slot values and a per-client assembler of the byte stream.
#pragma once
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

// Number of stream slots a packet can fill.
inline constexpr int MaxStreamCount = 64;
// Bit pattern of an absent slot: a quiet NaN with the sign bit set.
inline constexpr uint32_t AbsentStreamBits = 0xFFC00000u;

// The 64 received floats of the live mode; absent slots hold AbsentStreamBits.
extern std::array<float, MaxStreamCount> StreamValues;

// The float whose bits are AbsentStreamBits.
inline float AbsentStreamValue() { return std::bit_cast<float>(AbsentStreamBits); }
// Sets every slot to the absent pattern.
void ClearStreamValues(std::array<float, MaxStreamCount>& values);

// One thing the byte stream said: a whole packet, or a count outside 0 to 64.
struct StreamEvent {
  enum class Kind { Packet, OutOfSync };
  Kind kind = Kind::Packet;
  int32_t count = 0;                              // the count as received (also when out of sync)
  std::array<float, MaxStreamCount> values{};     // slots 0 .. count-1 as received, the rest absent
};

// Encodes a packet the way clients send it: little-endian count, then the little-endian floats.
// Inline so that the stream client can use it without linking the program's library.
inline std::vector<uint8_t> EncodeStreamPacket(const float* values, int32_t count) {
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(word >> shift));
  };
  put(static_cast<uint32_t>(count));
  for (int32_t i = 0; i < count; ++i) put(std::bit_cast<uint32_t>(values[i]));
  return out;
}

// Collects one client's bytes into whole packets. The buffer never holds more than Capacity
// bytes; a count outside 0 to 64 consumes exactly its 4 bytes and yields an OutOfSync event.
class TStreamAssembler {
 public:
  static constexpr size_t Capacity = 4096;
  static_assert(Capacity >= 4 + 4 * MaxStreamCount, "a whole packet must fit");

  // Copies as many bytes as there is room for and returns that number.
  size_t Append(const uint8_t* data, size_t size);
  // Free room at the end of the buffer, compacting it first; receive straight into it, then Commit.
  uint8_t* Reserve(size_t& room);
  void Commit(size_t size);
  // Takes the next whole event out of the buffer; false when only a partial packet is left.
  bool Next(StreamEvent& event);
  // Whether a whole event is waiting.
  bool HasEvent() const;
  // Bytes received but not yet taken as events.
  size_t Buffered() const { return end_ - start_; }
  // Forgets everything buffered (a client that went away loses only its partial packet).
  void Clear() { start_ = end_ = 0; }

 private:
  std::array<uint8_t, Capacity> bytes_{};
  size_t start_ = 0;
  size_t end_ = 0;
};
