// Loopback client and bounded server stepping for the live tests.
#include "live/LiveTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "live/PDSServer.h"

LoopbackClient::LoopbackClient(uint16_t port) {
  socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (socket_ < 0 || connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Close();
    return;
  }
  const int yes = 1;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

LoopbackClient::~LoopbackClient() { Close(); }

bool LoopbackClient::Send(const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (socket_ >= 0 && sent < bytes.size()) {
    const ssize_t n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return socket_ >= 0;
}

void LoopbackClient::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

std::vector<uint8_t> PacketBytes(const std::vector<float>& values) {
  return EncodeStreamPacket(values.data(), static_cast<int32_t>(values.size()));
}

std::vector<uint8_t> CountBytes(int32_t count) {
  const auto bits = static_cast<uint32_t>(count);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

bool StepUntil(TPDSServerObject& server, const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < deadline) server.Step(5);
  return done();
}
