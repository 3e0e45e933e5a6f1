// Binding the live mode's sockets: an address (or every interface) and a port, numbers or names.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// A non-blocking socket of type (SOCK_STREAM, SOCK_DGRAM) bound to address and port; address
// empty means every IPv4 interface, otherwise a numeric IPv4 or IPv6 address or a host name.
// configure runs on the socket before it is bound. Returns -1 on failure with the errno in
// failure (0 when the address did not resolve) and a description in error.
int BindLocalSocket(const std::string& address, uint16_t port, int type,
                    const std::function<void(int)>& configure, int& failure, std::string& error);
// The port a bound socket has (the ephemeral one when 0 was asked).
uint16_t BoundPort(int socket);
