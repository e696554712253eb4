// Raw loopback sockets for the benchmarks' peers and their raw-socket baselines.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace bench {

// Socket buffers of the baselines: the largest the package's streams use.
constexpr int kLoopbackBuffer = 32767;

// A listening socket on 127.0.0.1 with a port the system chose.
inline int LoopbackListener(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), length);
  listen(fd, 4);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

// A blocking connection to 127.0.0.1:port with the baseline's socket buffers.
inline int LoopbackConnect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kLoopbackBuffer, sizeof kLoopbackBuffer);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kLoopbackBuffer, sizeof kLoopbackBuffer);
  sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
  connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return fd;
}

}  // namespace bench
