#include <winsock2.h>

#include "ListenSocket.h"

namespace trv::service {

boost::system::error_code ListenSocket::Claim(boost::asio::ip::tcp::acceptor& acceptor) {
  // No other program may bind the port beside this one (Windows would let it, by default).
  BOOL exclusive = TRUE;
  if (setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0) {
    return {WSAGetLastError(), boost::system::system_category()};
  }
  return {};
}

}  // namespace trv::service
