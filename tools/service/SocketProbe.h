#pragma once

#include <boost/asio/ip/tcp.hpp>

namespace trv::service {

// Questions about a connected socket that Asio does not ask, answered by each system's own calls
// (SocketProbePosix.cpp, SocketProbeWin32.cpp).
class SocketProbe {
 public:
  using Handle = boost::asio::ip::tcp::socket::native_handle_type;

  // Whether the peer has closed its side or has sent bytes, without reading them or waiting.
  static bool PeerClosedOrSent(Handle socket);
  // Whether the peer has closed its side (or the connection broke); bytes it sent do not count.
  static bool PeerClosed(Handle socket);
};

}  // namespace trv::service
