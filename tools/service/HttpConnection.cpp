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
  if (stopped_) return false;
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
  if (stopped_) return asio::error::operation_aborted;
  beast::error_code error;
  stream_.expires_at(deadline);
  http::async_read_header(stream_, buffer_, parser,
                          [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return error;
}

beast::error_code HttpConnection::ReadBody(RequestParser& parser, Clock::time_point deadline) {
  beast::error_code error;
  if (stopped_) return asio::error::operation_aborted;
  if (parser.is_done()) return error;
  stream_.expires_at(deadline);
  http::async_read(stream_, buffer_, parser,
                   [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return error;
}

bool HttpConnection::Write(const std::string& data, std::chrono::seconds patience) {
  if (stopped_) return false;
  beast::error_code error;
  stream_.expires_after(patience);
  asio::async_write(stream_, asio::buffer(data),
                    [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return !error;
}

bool HttpConnection::WriteHead(StreamHead& head, std::chrono::seconds patience) {
  if (stopped_) return false;
  beast::error_code error;
  http::response_serializer<http::empty_body> serializer(head);
  stream_.expires_after(patience);
  http::async_write_header(stream_, serializer,
                           [&error](beast::error_code code, size_t) { error = code; });
  RunToEnd();
  return !error;
}

bool HttpConnection::StreamClientGone() {
  return stopped_ || SocketProbe::PeerClosedOrSent(stream_.socket().native_handle());
}

bool HttpConnection::ClientGone() {
  return stopped_ || SocketProbe::PeerClosed(stream_.socket().native_handle());
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

void HttpConnection::Stop() {
  // The flag answers the questions asked outside a wait (an event stream between two events, a
  // reading whose client is asked after); the close ends the wait under way, on the connection's
  // own thread, the only one that touches the stream.
  stopped_ = true;
  asio::post(io_, [this] { stream_.close(); });
}

}  // namespace trv::service
