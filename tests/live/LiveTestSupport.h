// Helpers of the live tests: a blocking loopback client and a bounded wait on the server's loop.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

class TPDSServerObject;

// A TCP client of 127.0.0.1:port with TCP_NODELAY; the connection closes with the object.
class LoopbackClient {
 public:
  explicit LoopbackClient(uint16_t port);
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;
  // Sends every byte (blocking); false when the connection is gone.
  bool Send(const std::vector<uint8_t>& bytes);
  void Close();
  // Drops the connection with a reset (RST) instead of an orderly close, as a crashed or
  // unplugged sender's system does.
  void Reset();
  bool Connected() const { return socket_ >= 0; }
  // Whether the server has closed (or reset) this connection; waits at most seconds for it.
  bool ClosedByServer(double seconds = 0);

 private:
  int socket_ = -1;
};

// The wire bytes of a packet with these values, and the 4 bytes of a bare count.
std::vector<uint8_t> PacketBytes(const std::vector<float>& values);
std::vector<uint8_t> CountBytes(int32_t count);

// Sends one UDP datagram to 127.0.0.1:port; false with errno set when the system refuses it.
bool SendDatagram(uint16_t port, const std::vector<uint8_t>& bytes);
// The bytes of an OSC message built by liblo: path, then arguments given as a type string and
// floats ('f' takes the next float, 'N' a nil, 'i' the next float as an integer, 's' a string).
std::vector<uint8_t> OscMessageBytes(const char* path, const char* types = "",
                                     const std::vector<float>& numbers = {});
// An OSC bundle (time tag "now") holding the given elements in order.
std::vector<uint8_t> OscBundleBytes(const std::vector<std::vector<uint8_t>>& elements);

// Turns the server's loop until done() holds or seconds have passed; returns done().
bool StepUntil(TPDSServerObject& server, const std::function<bool()>& done, double seconds = 5);
