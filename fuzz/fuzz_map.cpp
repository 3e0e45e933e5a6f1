// Fuzz target: the MIDI and sound map file, then MIDI bytes through the rules it kept. Whatever
// the bytes, every rule names a slot from 0 to 63 with a finite range, an error names its line,
// and every slot write stays within the slots.
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "live/ControlMap.h"
#include "live/StreamPackets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first part is the map, the part after the first NUL byte the MIDI stream.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = std::min(bytes.find('\0'), bytes.size());
  const std::string text(bytes.substr(0, split));
  ControlMap map;
  std::string error;
  if (!ParseControlMap(text, map, error) && error.rfind("line ", 0) != 0) std::abort();
  for (const ControlRule& rule : map.rules)
    if (rule.slot < 0 || rule.slot >= MaxStreamCount || !std::isfinite(rule.low) || !std::isfinite(rule.high))
      std::abort();
  TControlMapper mapper(map);
  uint8_t running = 0;
  std::vector<SlotWrite> writes;
  // Messages of one to three bytes, their length taken from each first byte.
  for (size_t at = split + 1; at < size;) {
    const size_t length = std::min<size_t>(1 + data[at] % 3, size - at);
    std::vector<uint8_t> message(data + at, data + at + length);
    mapper.Apply(DecodeMidi(message.data(), message.size(), running), writes);
    at += length;
  }
  for (const SlotWrite& write : writes)
    if (write.slot < 0 || write.slot >= MaxStreamCount) std::abort();
  return 0;
}
