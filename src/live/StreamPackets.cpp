// Per-client assembly of the live mode's byte stream into packets and out-of-sync counts.
#include "live/StreamPackets.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "render/ByteOrder.h"

std::array<float, MaxStreamCount> StreamValues = [] {
  std::array<float, MaxStreamCount> values{};
  ClearStreamValues(values);
  return values;
}();

namespace {

bool CountInRange(int32_t count) { return count >= 0 && count <= MaxStreamCount; }
}  // namespace

void ClearStreamValues(std::array<float, MaxStreamCount>& values) {
  values.fill(AbsentStreamValue());
}

size_t TStreamAssembler::Append(const uint8_t* data, size_t size) {
  size_t room = 0;
  uint8_t* target = Reserve(room);
  const size_t taken = std::min(room, size);
  if (taken) std::memcpy(target, data, taken);
  Commit(taken);
  return taken;
}

uint8_t* TStreamAssembler::Reserve(size_t& room) {
  if (start_ > 0) {
    std::memmove(bytes_.data(), bytes_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  room = Capacity - end_;
  return bytes_.data() + end_;
}

void TStreamAssembler::Commit(size_t size) { end_ = std::min(Capacity, end_ + size); }

bool TStreamAssembler::HasEvent() const {
  if (Buffered() < 4) return false;
  const int32_t count = static_cast<int32_t>(ReadLE32(bytes_.data() + start_));
  return !CountInRange(count) || Buffered() >= 4 + 4 * static_cast<size_t>(count);
}

bool TStreamAssembler::Next(StreamEvent& event) {
  if (!HasEvent()) return false;
  const uint8_t* p = bytes_.data() + start_;
  const int32_t count = static_cast<int32_t>(ReadLE32(p));
  event.count = count;
  if (!CountInRange(count)) {
    event.kind = StreamEvent::Kind::OutOfSync;
    start_ += 4;
    return true;
  }
  event.kind = StreamEvent::Kind::Packet;
  ClearStreamValues(event.values);
  for (int32_t i = 0; i < count; ++i)
    event.values[i] = std::bit_cast<float>(ReadLE32(p + 4 + 4 * i));
  start_ += 4 + 4 * static_cast<size_t>(count);
  if (start_ == end_) start_ = end_ = 0;
  return true;
}
