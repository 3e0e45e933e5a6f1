// Fuzz target: OSC datagrams of the live mode. Whatever the bytes, parsing reads nothing outside
// them, every event names a slot from 0 to 63 and at most 64 values, and every message is either
// an event or counted as malformed or unknown.
#include <cstdlib>
#include <vector>

#include "live/OscInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input's length, so that a read past its end is caught.
  std::vector<uint8_t> bytes(data, data + size);
  std::vector<OscEvent> events;
  OscCounts counts;
  ParseOscDatagram(bytes.data(), bytes.size(), events, counts);
  if (counts.datagrams != 1 || counts.messages != static_cast<long>(events.size())) std::abort();
  for (const OscEvent& event : events) {
    if (event.slot < 0 || event.slot >= MaxStreamCount) std::abort();
    if (event.count < 0 || event.count > MaxStreamCount) std::abort();
  }
  return 0;
}
