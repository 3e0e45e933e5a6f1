// OSC datagrams into stream events: liblo checks and decodes each message, we walk the bundles.
#include "live/OscInput.h"

#include "live/LocalSockets.h"
#include "live/SlotMap.h"

#include <linux/sock_diag.h>
#include <lo/lo_lowlevel.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

namespace {
constexpr char BundleTag[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
// Deeper nesting than any controller sends; it keeps a crafted datagram from recursing far.
constexpr int MaxBundleDepth = 8;
// The largest UDP payload, so no datagram is ever cut.
constexpr size_t DatagramCapacity = 65536;
// The system's queue for the socket: room for a burst of a few thousand small messages.
constexpr int ReceiveBufferBytes = 1 << 20;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

// A number argument as the float a TCP packet would carry; false for any other type. liblo's
// arguments sit 4-byte aligned inside the message, so they are copied out rather than read
// through its 8-byte-aligned union.
template <typename Number>
float ArgumentAs(const lo_arg* arg) {
  Number number;
  std::memcpy(&number, arg, sizeof number);
  return static_cast<float>(number);
}

bool NumberArgument(char type, const lo_arg* arg, float& value) {
  switch (type) {
    case LO_FLOAT: value = ArgumentAs<float>(arg); return true;
    case LO_DOUBLE: value = ArgumentAs<double>(arg); return true;
    case LO_INT32: value = ArgumentAs<int32_t>(arg); return true;
    case LO_INT64: value = ArgumentAs<int64_t>(arg); return true;
    case LO_NIL: value = AbsentStreamValue(); return true;
    default: return false;
  }
}

// The slot number of "/vantrel/slot/N": plain decimal digits naming 0 to 63, or the slot's name
// in the slot map ("/vantrel/slot/flash"), else -1.
int SlotOfAddress(const char* path) {
  const size_t prefix = std::strlen(OscSlotPrefix);
  if (std::strncmp(path, OscSlotPrefix, prefix) != 0) return -2;  // not a slot address at all
  const char* digits = path + prefix;
  if (const int named = LiveSlotNamed(digits); named >= 0) return named;
  if (*digits == '\0' || std::strlen(digits) > 2) return -1;
  int slot = 0;
  for (const char* c = digits; *c; ++c) {
    if (*c < '0' || *c > '9') return -1;
    slot = slot * 10 + (*c - '0');
  }
  return slot < MaxStreamCount ? slot : -1;
}

void ParseMessage(const uint8_t* data, size_t size, std::vector<OscEvent>& events, OscCounts& counts) {
  int result = 0;
  lo_message message = lo_message_deserialise(const_cast<uint8_t*>(data), size, &result);
  if (!message) {
    ++counts.malformed;
    return;
  }
  // The address is the message's first string, which liblo has just checked.
  const char* path = reinterpret_cast<const char*>(data);
  const char* types = lo_message_get_types(message);
  const int argc = lo_message_get_argc(message);
  lo_arg** argv = lo_message_get_argv(message);
  OscEvent event;
  bool ok = true;
  const int slot = SlotOfAddress(path);
  if (std::strcmp(path, OscPacketAddress) == 0) {
    event.kind = OscEvent::Kind::Packet;
    ClearStreamValues(event.values);
    ok = argc <= MaxStreamCount;
    for (int i = 0; ok && i < argc; ++i) ok = NumberArgument(types[i], argv[i], event.values[i]);
    event.count = argc;
  } else if (slot != -2) {
    event.slot = slot;
    ok = slot >= 0 && argc <= 1;
    if (ok && (argc == 0 || types[0] == LO_NIL)) {
      event.kind = OscEvent::Kind::ClearSlot;
    } else if (ok) {
      event.kind = OscEvent::Kind::SetSlot;
      ok = types[0] != LO_NIL && NumberArgument(types[0], argv[0], event.value);
    }
  } else if (std::strcmp(path, OscTempoAddress) == 0) {
    event.kind = OscEvent::Kind::Tempo;
    ok = argc == 1 && types[0] != LO_NIL && NumberArgument(types[0], argv[0], event.value) &&
         std::isfinite(event.value) && event.value > 0;
  } else if (std::strcmp(path, OscClearAddress) == 0) {
    // Any arguments are allowed: a controller's button sends 1 when pressed and 0 when let go.
    event.kind = OscEvent::Kind::ClearAll;
  } else {
    ++counts.unknown;
    lo_message_free(message);
    return;
  }
  lo_message_free(message);
  if (!ok) {
    ++counts.malformed;
    return;
  }
  ++counts.messages;
  events.push_back(event);
}

// Appends the events of one bundle element; false when the bundle's own structure is broken.
bool ParseElement(const uint8_t* data, size_t size, int depth, std::vector<OscEvent>& events,
                  OscCounts& counts) {
  if (size < sizeof BundleTag || std::memcmp(data, BundleTag, sizeof BundleTag) != 0) {
    ParseMessage(data, size, events, counts);
    return true;
  }
  // "#bundle", an 8-byte time tag (not waited for: elements apply at once, in order), elements.
  if (depth >= MaxBundleDepth || size < 16) return false;
  size_t offset = 16;
  while (offset < size) {
    if (size - offset < 4) return false;
    const uint32_t length = ReadBigEndian32(data + offset);
    offset += 4;
    if (length == 0 || length % 4 != 0 || length > size - offset) return false;
    if (!ParseElement(data + offset, length, depth + 1, events, counts)) return false;
    offset += length;
  }
  return true;
}
}  // namespace

void ParseOscDatagram(const uint8_t* data, size_t size, std::vector<OscEvent>& events, OscCounts& counts) {
  ++counts.datagrams;
  std::vector<OscEvent> parsed;
  OscCounts inner;
  if (!ParseElement(data, size, 0, parsed, inner)) {
    // A broken bundle is refused whole, so a cut datagram never applies half of its messages.
    ++counts.malformed;
    return;
  }
  counts.messages += inner.messages;
  counts.malformed += inner.malformed;
  counts.unknown += inner.unknown;
  events.insert(events.end(), parsed.begin(), parsed.end());
}

void ApplyOscEvent(const OscEvent& event, std::array<float, MaxStreamCount>& values) {
  switch (event.kind) {
    case OscEvent::Kind::Packet: values = event.values; break;
    case OscEvent::Kind::SetSlot: values[event.slot] = event.value; break;
    case OscEvent::Kind::ClearSlot: values[event.slot] = AbsentStreamValue(); break;
    case OscEvent::Kind::ClearAll: ClearStreamValues(values); break;
    case OscEvent::Kind::Tempo: break;
  }
}

TOscInput::~TOscInput() {
  if (socket_ >= 0) close(socket_);
}

bool TOscInput::Open(const std::string& address, uint16_t port, std::string& error) {
  int failure = 0;
  const int fd = BindLocalSocket(address, port, SOCK_DGRAM, [](int socket) {
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &ReceiveBufferBytes, sizeof ReceiveBufferBytes);
  }, failure, error);
  if (fd < 0) return false;
  port_ = BoundPort(fd);
  socket_ = fd;
  buffer_.resize(DatagramCapacity);
  return true;
}

int TOscInput::Receive(std::deque<OscEvent>& events, int maxDatagrams) {
  int read = 0;
  while (socket_ >= 0 && read < maxDatagrams) {
    // MSG_TRUNC makes the result the datagram's whole length, so a cut one is recognised.
    const ssize_t received = recv(socket_, buffer_.data(), buffer_.size(), MSG_TRUNC);
    if (received < 0) break;
    ++read;
    if (static_cast<size_t>(received) > buffer_.size()) {
      ++Counts.datagrams;
      ++Counts.malformed;
      continue;
    }
    parsed_.clear();
    ParseOscDatagram(buffer_.data(), static_cast<size_t>(received), parsed_, Counts);
    events.insert(events.end(), parsed_.begin(), parsed_.end());
  }
  // The system's running count of datagrams it dropped for want of room in the socket's queue.
  uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (socket_ >= 0 && getsockopt(socket_, SOL_SOCKET, SO_MEMINFO, memory, &length) == 0 &&
      length > SK_MEMINFO_DROPS * sizeof(uint32_t))
    Counts.systemDropped = memory[SK_MEMINFO_DROPS];
  return read;
}
