// OSC control of the live mode: a UDP socket whose datagrams liblo parses into stream events.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "live/StreamPackets.h"

// The OSC address space of the live mode.
inline constexpr const char* OscPacketAddress = "/vantrel/packet";   // ,f... : a whole packet
inline constexpr const char* OscSlotPrefix = "/vantrel/slot/";       // N or NAME ,f : one slot; ,N or none: clear it
inline constexpr const char* OscClearAddress = "/vantrel/clear";     // every slot absent
inline constexpr const char* OscTempoAddress = "/tempo";             // ,f BPM : the Link session's tempo

// One OSC message: a whole packet, one slot set or cleared, or all cleared (each draws a frame),
// or a tempo for the Link session (draws nothing).
struct OscEvent {
  enum class Kind { Packet, SetSlot, ClearSlot, ClearAll, Tempo };
  Kind kind = Kind::Packet;
  int slot = 0;       // SetSlot, ClearSlot
  float value = 0;    // SetSlot; Tempo: beats a minute, above 0
  int32_t count = 0;  // Packet: number of values
  std::array<float, MaxStreamCount> values{};  // Packet: slots 0 .. count-1, the rest absent
};

// What became of the messages of the datagrams parsed so far.
struct OscCounts {
  long datagrams = 0;
  long messages = 0;        // messages that became events
  long malformed = 0;       // broken datagrams, bundles or messages, wrong argument types, bad slots
  long unknown = 0;         // well-formed messages to another address
  long systemDropped = 0;   // datagrams the system dropped because the socket's queue was full
};

// Parses one datagram (a message or a bundle, bundles nested at most a few deep) and appends its
// events in order; a bundle's elements apply in order whatever its time tag says. A bundle whose
// element sizes do not fit is refused whole; a bad message inside a good bundle only itself.
void ParseOscDatagram(const uint8_t* data, size_t size, std::vector<OscEvent>& events, OscCounts& counts);

// Applies an event to the stream values the way the live frame reads them (a tempo changes none).
void ApplyOscEvent(const OscEvent& event, std::array<float, MaxStreamCount>& values);

// The receiving socket. Not copyable: it owns the descriptor.
class TOscInput {
 public:
  TOscInput() = default;
  ~TOscInput();
  TOscInput(const TOscInput&) = delete;
  TOscInput& operator=(const TOscInput&) = delete;

  // Binds a non-blocking UDP socket to address (empty: all interfaces) and port (0: ephemeral);
  // false with the reason in error.
  bool Open(const std::string& address, uint16_t port, std::string& error);
  bool IsOpen() const { return socket_ >= 0; }
  int Socket() const { return socket_; }
  uint16_t Port() const { return port_; }
  // Reads at most maxDatagrams waiting datagrams and appends their events; returns the number read.
  int Receive(std::deque<OscEvent>& events, int maxDatagrams);

  OscCounts Counts;

 private:
  int socket_ = -1;
  uint16_t port_ = 0;
  std::vector<uint8_t> buffer_;
  std::vector<OscEvent> parsed_;
};
