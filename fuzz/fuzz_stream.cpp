// Fuzz target: the live mode's packet assembler. The first bytes of the input choose how the
// rest is cut into receives (as a socket may deliver it); whatever the cuts, the events taken out
// must be exactly those a plain reading of the whole byte stream gives.
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "live/StreamPackets.h"

namespace {
int32_t Word(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// The wire format read straight through: a count, then count floats; a count outside 0..64 is
// one out-of-sync event of 4 bytes. A partial packet at the end yields nothing.
std::vector<StreamEvent> ReferenceEvents(const uint8_t* data, size_t size) {
  std::vector<StreamEvent> events;
  size_t at = 0;
  while (size - at >= 4) {
    StreamEvent event;
    event.count = Word(data + at);
    if (event.count < 0 || event.count > MaxStreamCount) {
      event.kind = StreamEvent::Kind::OutOfSync;
      at += 4;
    } else {
      if (size - at < 4 + 4 * size_t(event.count)) break;
      ClearStreamValues(event.values);
      for (int32_t i = 0; i < event.count; ++i)
        event.values[i] = std::bit_cast<float>(Word(data + at + 4 + 4 * i));
      at += 4 + 4 * size_t(event.count);
    }
    events.push_back(event);
  }
  return events;
}

bool SameEvent(const StreamEvent& a, const StreamEvent& b) {
  if (a.kind != b.kind || a.count != b.count) return false;
  if (a.kind == StreamEvent::Kind::OutOfSync) return true;
  return std::memcmp(a.values.data(), b.values.data(), sizeof a.values) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // Cut sizes cycle through the first bytes; 0 means "receive through Reserve/Commit".
  const size_t cutBytes = 1 + data[0] % 8;
  if (size < 1 + cutBytes) return 0;
  const uint8_t* cuts = data + 1;
  const uint8_t* stream = data + 1 + cutBytes;
  const size_t length = size - 1 - cutBytes;

  const std::vector<StreamEvent> expected = ReferenceEvents(stream, length);
  TStreamAssembler assembler;
  std::vector<StreamEvent> got;
  size_t at = 0;
  for (size_t turn = 0; at < length; ++turn) {
    const uint8_t cut = cuts[turn % cutBytes];
    const size_t want = std::min<size_t>(length - at, cut == 0 ? 300 : cut);
    if (cut % 2 == 0) {
      size_t room = 0;
      uint8_t* target = assembler.Reserve(room);
      const size_t taken = std::min(room, want);
      std::memcpy(target, stream + at, taken);
      assembler.Commit(taken);
      at += taken;
    } else {
      at += assembler.Append(stream + at, want);
    }
    StreamEvent event;
    while (assembler.Next(event)) got.push_back(event);
    // Drained after every receive, the buffer holds at most one partial packet.
    if (assembler.Buffered() >= 4 + 4 * MaxStreamCount) std::abort();
  }
  if (got.size() != expected.size()) std::abort();
  for (size_t i = 0; i < got.size(); ++i)
    if (!SameEvent(got[i], expected[i])) std::abort();
  return 0;
}
