#include <sys/socket.h>

#include <cerrno>

#include "SocketProbe.h"

namespace trv::service {

bool SocketProbe::PeerClosedOrSent(Handle socket) {
  char byte = 0;
  const ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
}

bool SocketProbe::PeerClosed(Handle socket) {
  char byte = 0;
  const ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

}  // namespace trv::service
