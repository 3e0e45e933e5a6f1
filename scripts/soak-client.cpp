// Soak client for the live mode: many loopback connections sending packets as fast as the server
// takes them for a bounded time, a few of them reconnecting now and then, then waiting (bounded)
// until the server has read everything. Prints what was sent.
// Each connection writes its next message as soon as the server has read the previous one (the
// kernel's queues of that connection, seen in /proc/net/tcp, are empty): the server always has
// a packet waiting from every client, yet the backlog stays small enough to drain at the end,
// so that every packet sent can be checked against the packets drawn.
// With an OSC port it also sends OSC messages over UDP, one per datagram, at a steady pace with a
// burst now and then that overfills the server's queue on purpose: every message must then be
// drawn, or counted by the server as malformed, unknown or dropped by the system.
// Usage: soak-client PORT CLIENTS SECONDS DRAIN-SECONDS [OSC-PORT]
#include <arpa/inet.h>
#include <lo/lo.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "live/StreamPackets.h"

namespace {
using Clock = std::chrono::steady_clock;

// Every this many messages one is a count outside 0..64 (the server shows "Out of sync").
constexpr long OutOfSyncEvery = 7;
// The first few connections close and reconnect this often.
constexpr auto ReconnectEvery = std::chrono::seconds(15);
constexpr int Reconnecting = 4;

struct Connection {
  int fd = -1;
  int localPort = 0;
  Clock::time_point nextReconnect;
  std::vector<uint8_t> pending;  // the message being written
  size_t written = 0;
  long sequence = 0;
  bool pendingIsPacket = true;
  bool shut = false;     // our side has finished sending
  bool drained = false;  // the server closed its side: it has read all we sent
};

long Packets = 0, OutOfSync = 0, Reconnects = 0, Failures = 0;
long OscSent = 0, OscMalformedSent = 0, OscUnknownSent = 0;

// OSC messages a second between bursts, and the burst: this many messages at once, this often.
constexpr int OscRate = 20;
constexpr int OscBurst = 3000;
constexpr auto OscBurstEvery = std::chrono::seconds(60);

// The next OSC message of the mix: whole packets, single slots set and cleared, clears, and now
// and then one with a wrong argument type or an unknown address.
void SendOscMessage(lo_address target, long n) {
  lo_message message = lo_message_new();
  std::string path;
  if (n % 97 == 0) {
    path = "/vantrel/packet";
    lo_message_add_string(message, "not a number");
    ++OscMalformedSent;
  } else if (n % 89 == 0) {
    path = "/vantrel/unknown";
    lo_message_add_float(message, 1.0f);
    ++OscUnknownSent;
  } else if (n % 5 == 0) {
    path = "/vantrel/slot/" + std::to_string(n % 11);
    if (n % 10 != 0) lo_message_add_float(message, static_cast<float>(n % 100) / 100.0f);
  } else if (n % 43 == 0) {
    path = "/vantrel/clear";
  } else {
    path = "/vantrel/packet";
    for (long i = 0; i < 1 + n % 12; ++i) lo_message_add_float(message, static_cast<float>((n + i) % 50) / 50.0f);
  }
  if (lo_send_message(target, path.c_str(), message) < 0) ++Failures;
  ++OscSent;
  lo_message_free(message);
}

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  // A small send buffer keeps the backlog that has to drain at the end short.
  const int sendBuffer = 16 * 1024;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // loopback only
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

int LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// Bytes waiting in the kernel per client port: the client's send queue plus the server's
// receive queue of the same connection.
std::map<int, long> QueuedBytes(int serverPort) {
  std::map<int, long> queued;
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues;
    fields >> slot >> local >> remote >> state >> queues;
    const auto port = [](const std::string& address) {
      return static_cast<int>(std::strtol(address.substr(address.find(':') + 1).c_str(), nullptr, 16));
    };
    const size_t colon = queues.find(':');
    if (colon == std::string::npos) continue;
    const long tx = std::strtol(queues.substr(0, colon).c_str(), nullptr, 16);
    const long rx = std::strtol(queues.substr(colon + 1).c_str(), nullptr, 16);
    if (port(remote) == serverPort) queued[port(local)] += tx;
    if (port(local) == serverPort) queued[port(remote)] += rx;
  }
  return queued;
}

void NextMessage(Connection& c, int index) {
  ++c.sequence;
  c.written = 0;
  if (c.sequence % OutOfSyncEvery == 0) {
    const int32_t count = c.sequence % 2 ? 65 + static_cast<int32_t>(c.sequence % 1000) : -1;
    c.pending = EncodeStreamPacket(nullptr, 0);
    for (int k = 0; k < 4; ++k) c.pending[k] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * k));
    c.pendingIsPacket = false;
    return;
  }
  float values[MaxStreamCount];
  const int32_t count = static_cast<int32_t>((c.sequence * 7 + index) % (MaxStreamCount + 1));
  for (int32_t i = 0; i < count; ++i)
    values[i] = (i + c.sequence) % 9 == 0 ? AbsentStreamValue()
                                         : static_cast<float>((c.sequence * 31 + i * 17) % 1000) / 100.0f;
  c.pending = EncodeStreamPacket(values, count);
  c.pendingIsPacket = true;
}

void Finished(Connection& c) {
  if (c.pendingIsPacket) ++Packets; else ++OutOfSync;
  c.pending.clear();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    std::fprintf(stderr, "usage: soak-client PORT CLIENTS SECONDS DRAIN-SECONDS [OSC-PORT]\n");
    return 2;
  }
  const int oscPort = argc == 6 ? std::atoi(argv[5]) : 0;
  lo_address osc = oscPort > 0 ? lo_address_new("127.0.0.1", std::to_string(oscPort).c_str()) : nullptr;
  const int port = std::atoi(argv[1]);
  const int clients = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  const double drainSeconds = std::atof(argv[4]);
  if (port <= 0 || clients <= 0 || clients > 64 || seconds <= 0 || seconds > 3600) return 2;

  std::vector<Connection> connections(clients);
  for (Connection& c : connections) {
    c.fd = Connect(port);
    if (c.fd < 0) {
      std::fprintf(stderr, "soak-client: cannot connect to 127.0.0.1:%d\n", port);
      return 1;
    }
  }
  const auto start = Clock::now();
  const auto stopSending = start + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(seconds));
  const auto giveUp = stopSending + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(drainSeconds));
  std::vector<pollfd> fds(clients);
  for (int i = 0; i < clients; ++i) {
    connections[i].localPort = LocalPort(connections[i].fd);
    connections[i].nextReconnect = start + ReconnectEvery + std::chrono::seconds(i);
  }
  long oscDue = 0;
  auto nextBurst = start + OscBurstEvery / 2;
  for (;;) {
    const auto now = Clock::now();
    const bool sending = now < stopSending;
    if (osc && sending) {
      const double elapsed = std::chrono::duration<double>(now - start).count();
      for (; oscDue < static_cast<long>(elapsed * OscRate); ++oscDue) SendOscMessage(osc, OscSent + 1);
      if (now >= nextBurst) {
        nextBurst += OscBurstEvery;
        for (int i = 0; i < OscBurst; ++i) SendOscMessage(osc, OscSent + 1);
      }
    }
    bool allDrained = true;
    const std::map<int, long> queued = QueuedBytes(port);
    for (int i = 0; i < clients; ++i) {
      Connection& c = connections[i];
      const auto waiting = queued.find(c.localPort);
      const bool taken = waiting == queued.end() || waiting->second == 0;
      if (c.pending.empty() && sending && taken) {
        if (i < Reconnecting && now >= c.nextReconnect) {
          c.nextReconnect = now + ReconnectEvery;
          // A client going away between whole packets, and coming back.
          close(c.fd);
          c.fd = Connect(port);
          ++Reconnects;
          if (c.fd < 0) {
            ++Failures;
            std::fprintf(stderr, "soak-client: reconnect failed\n");
            return 1;
          }
          c.localPort = LocalPort(c.fd);
        }
        NextMessage(c, i);
      }
      if (c.pending.empty() && !sending && !c.shut) {
        shutdown(c.fd, SHUT_WR);
        c.shut = true;
      }
      allDrained = allDrained && c.drained;
      fds[i] = {c.fd, static_cast<short>(c.drained ? 0 : (c.pending.empty() ? POLLIN : POLLOUT | POLLIN)), 0};
    }
    if (allDrained || now >= giveUp) break;
    poll(fds.data(), fds.size(), 5);
    for (int i = 0; i < clients; ++i) {
      Connection& c = connections[i];
      if (c.drained) continue;
      if ((fds[i].revents & POLLOUT) && !c.pending.empty()) {
        const ssize_t n = send(c.fd, c.pending.data() + c.written, c.pending.size() - c.written,
                               MSG_NOSIGNAL);
        if (n > 0) {
          c.written += static_cast<size_t>(n);
          if (c.written == c.pending.size()) Finished(c);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
          std::fprintf(stderr, "soak-client: the server dropped a connection while it was sending\n");
          ++Failures;
          c.drained = true;
        }
      }
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
        uint8_t scratch[64];
        const ssize_t n = recv(c.fd, scratch, sizeof scratch, 0);
        if (n == 0 && c.shut) c.drained = true;
        if (n == 0 && !c.shut) {
          std::fprintf(stderr, "soak-client: the server closed a connection early\n");
          ++Failures;
          c.drained = true;
        }
      }
    }
  }
  long undrained = 0;
  for (Connection& c : connections) {
    undrained += !c.drained;
    close(c.fd);
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("soak-client: %d clients, %ld packets sent, %ld out-of-sync counts sent, %ld reconnects, "
              "%.1f s (sending %.0f s), %ld connections not drained, %ld failures\n",
              clients, Packets, OutOfSync, Reconnects, elapsed, seconds, undrained, Failures);
  if (osc) {
    std::printf("soak-client: %ld OSC messages sent, %ld of them malformed, %ld to an unknown address\n",
                OscSent, OscMalformedSent, OscUnknownSent);
    lo_address_free(osc);
  }
  return undrained == 0 && Failures == 0 ? 0 : 1;
}
