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
  bool Connected() const { return socket_ >= 0; }

 private:
  int socket_ = -1;
};

// The wire bytes of a packet with these values, and the 4 bytes of a bare count.
std::vector<uint8_t> PacketBytes(const std::vector<float>& values);
std::vector<uint8_t> CountBytes(int32_t count);

// Turns the server's loop until done() holds or seconds have passed; returns done().
bool StepUntil(TPDSServerObject& server, const std::function<bool()>& done, double seconds = 5);
