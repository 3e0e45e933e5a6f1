// Loopback client and bounded server stepping for the live tests.
#include "live/LiveTestSupport.h"

#include <arpa/inet.h>
#include <lo/lo.h>
#include <poll.h>
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

bool LoopbackClient::ClosedByServer(double seconds) {
  if (socket_ < 0) return false;
  pollfd one{socket_, POLLIN | POLLRDHUP, 0};
  if (poll(&one, 1, static_cast<int>(seconds * 1000)) != 1) return false;
  uint8_t scratch[16];
  return recv(socket_, scratch, sizeof scratch, MSG_DONTWAIT) <= 0;
}

void LoopbackClient::Close() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

void LoopbackClient::Reset() {
  if (socket_ < 0) return;
  const linger abort{1, 0};
  setsockopt(socket_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  Close();
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

bool SendDatagram(uint16_t port, const std::vector<uint8_t>& bytes) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const ssize_t sent = sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address),
                              sizeof address);
  const int error = errno;
  close(fd);
  errno = error;
  return sent == static_cast<ssize_t>(bytes.size());
}

namespace {
lo_message BuildOscMessage(const char* types, const std::vector<float>& numbers) {
  lo_message message = lo_message_new();
  size_t next = 0;
  for (const char* t = types; *t; ++t) {
    const float number = next < numbers.size() ? numbers[next] : 0.0f;
    switch (*t) {
      case 'f': lo_message_add_float(message, number); ++next; break;
      case 'i': lo_message_add_int32(message, static_cast<int32_t>(number)); ++next; break;
      case 'N': lo_message_add_nil(message); break;
      case 's': lo_message_add_string(message, "text"); break;
    }
  }
  return message;
}
}  // namespace

std::vector<uint8_t> OscMessageBytes(const char* path, const char* types, const std::vector<float>& numbers) {
  lo_message message = BuildOscMessage(types, numbers);
  size_t size = 0;
  void* data = lo_message_serialise(message, path, nullptr, &size);
  std::vector<uint8_t> bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  free(data);
  lo_message_free(message);
  return bytes;
}

std::vector<uint8_t> OscBundleBytes(const std::vector<std::vector<uint8_t>>& elements) {
  std::vector<uint8_t> bytes = {'#', 'b', 'u', 'n', 'd', 'l', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 1};
  for (const auto& element : elements) {
    const auto size = static_cast<uint32_t>(element.size());
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(size >> shift));
    bytes.insert(bytes.end(), element.begin(), element.end());
  }
  return bytes;
}
