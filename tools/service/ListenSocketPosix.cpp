#include "ListenSocket.h"

namespace trv::service {

boost::system::error_code ListenSocket::Claim(boost::asio::ip::tcp::acceptor& acceptor) {
  // A restarted service binds again at once, past the old connections' TIME_WAIT; the system
  // still refuses a second listener on the port.
  boost::system::error_code error;
  acceptor.set_option(boost::asio::socket_base::reuse_address(true), error);
  return error;
}

}  // namespace trv::service
