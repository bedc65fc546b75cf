#include <winsock2.h>

#include "SocketProbe.h"

namespace trv::service {

namespace {

// Readable with nothing waiting: the peer closed.
bool ReadableWithNothingWaiting(SocketProbe::Handle socket) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket, &readable);
  timeval now{0, 0};
  return select(0, &readable, nullptr, nullptr, &now) != 0;
}

}  // namespace

bool SocketProbe::PeerClosedOrSent(Handle socket) {
  u_long waiting = 0;
  if (ioctlsocket(socket, FIONREAD, &waiting) != 0 || waiting > 0) return true;
  return ReadableWithNothingWaiting(socket);
}

bool SocketProbe::PeerClosed(Handle socket) {
  u_long waiting = 0;
  if (ioctlsocket(socket, FIONREAD, &waiting) != 0) return true;
  return waiting == 0 && ReadableWithNothingWaiting(socket);
}

}  // namespace trv::service
