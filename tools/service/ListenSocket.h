#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

namespace trv::service {

// How the service's listening socket claims its port on each system (ListenSocketPosix.cpp,
// ListenSocketWin32.cpp), between opening the acceptor and binding it.
class ListenSocket {
 public:
  // Sets the options the port is bound with; the error of the system call, if any.
  static boost::system::error_code Claim(boost::asio::ip::tcp::acceptor& acceptor);
};

}  // namespace trv::service
