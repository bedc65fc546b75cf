#include "HttpConnection.h"

#include "SocketProbe.h"

namespace trv::service {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;

HttpConnection::HttpConnection() : stream_(io_), since_(Clock::now().time_since_epoch().count()) {}

void HttpConnection::RunToEnd() {
  io_.restart();
  io_.run();
}

bool HttpConnection::AwaitRequest(std::chrono::seconds patience) {
  if (buffer_.size() > 0) return true;
  beast::error_code error;
  size_t received = 0;
  stream_.expires_after(patience);
  stream_.async_read_some(buffer_.prepare(1024), [&](beast::error_code code, size_t count) {
    error = code;
    received = count;
  });
  RunToEnd();
  buffer_.commit(received);
  return !error && received > 0;
}

beast::error_code HttpConnection::ReadHead(RequestParser& parser, Clock::time_point deadline) {
  beast::error_code error;
  stream_.expires_at(deadline);
  http::async_read_header(stream_, buffer_, parser,
                          [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return error;
}

beast::error_code HttpConnection::ReadBody(RequestParser& parser, Clock::time_point deadline) {
  beast::error_code error;
  if (parser.is_done()) return error;
  stream_.expires_at(deadline);
  http::async_read(stream_, buffer_, parser,
                   [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return error;
}

bool HttpConnection::Write(const std::string& data, std::chrono::seconds patience) {
  beast::error_code error;
  stream_.expires_after(patience);
  asio::async_write(stream_, asio::buffer(data),
                    [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return !error;
}

bool HttpConnection::StreamClientGone() {
  return SocketProbe::PeerClosedOrSent(stream_.socket().native_handle());
}

bool HttpConnection::ClientGone() {
  return SocketProbe::PeerClosed(stream_.socket().native_handle());
}

void HttpConnection::Close() {
  beast::error_code ignored;
  stream_.socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  stream_.close();
}

void HttpConnection::SetWaiting(bool waiting) {
  if (waiting) since_ = Clock::now().time_since_epoch().count();
  waiting_ = waiting;
}

void HttpConnection::Evict() {
  // Runs on the connection's own thread, inside its wait, and ends that wait.
  asio::post(io_, [this] {
    if (waiting_) stream_.close();
  });
}

}  // namespace trv::service
