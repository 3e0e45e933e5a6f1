// Binding the live mode's TCP and UDP sockets with getaddrinfo.
#include "live/LocalSockets.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int BindLocalSocket(const std::string& address, uint16_t port, int type,
                    const std::function<void(int)>& configure, int& failure, std::string& error) {
  // Every interface is IPv4's any-address, as the server always listened on.
  addrinfo hints{};
  hints.ai_family = address.empty() ? AF_INET : AF_UNSPEC;
  hints.ai_socktype = type;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    failure = 0;
    error = gai_strerror(status);
    return -1;
  }
  int fd = socket(found->ai_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  failure = fd < 0 ? errno : 0;
  if (fd >= 0) {
    if (configure) configure(fd);
    if (bind(fd, found->ai_addr, found->ai_addrlen) != 0) failure = errno;
  }
  freeaddrinfo(found);
  if (failure != 0) {
    if (fd >= 0) close(fd);
    error = std::strerror(failure);
    return -1;
  }
  return fd;
}

uint16_t BoundPort(int socket) {
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
}
