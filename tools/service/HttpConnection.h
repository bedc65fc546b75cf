#pragma once

// Before Asio, whose awaitable.hpp uses std::exchange without including it.
#include <utility>

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <string>

namespace trv::service {

// One client's connection, served on a thread of its own. Every wait on the client has a
// deadline kept by Beast's stream (the operations run on the connection's own io_context, which
// this thread alone runs): when it passes, the socket is closed and the wait ends with an error.
// Another thread may only call Evict, Stop and the const queries.
class HttpConnection {
 public:
  using Clock = std::chrono::steady_clock;
  using RequestParser = boost::beast::http::request_parser<boost::beast::http::string_body>;
  // The head of an answer whose body follows as it comes (an event stream).
  using StreamHead = boost::beast::http::response<boost::beast::http::empty_body>;

  HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // The socket to accept the client into.
  boost::asio::ip::tcp::socket& Socket() { return stream_.socket(); }
  // Waits up to `patience` for the first byte of the next request (a kept-alive connection).
  bool AwaitRequest(std::chrono::seconds patience);
  // Reads a request's head, then (after the caller looked at it) its body, each by a deadline.
  boost::beast::error_code ReadHead(RequestParser& parser, Clock::time_point deadline);
  boost::beast::error_code ReadBody(RequestParser& parser, Clock::time_point deadline);
  // Writes everything by the deadline; false when the client has gone or was too slow.
  bool Write(const std::string& data, std::chrono::seconds patience);
  template <class Message>
  bool WriteMessage(Message& message, std::chrono::seconds patience) {
    if (stopped_) return false;
    boost::beast::error_code error;
    stream_.expires_after(patience);
    boost::beast::http::async_write(
        stream_, message, [&error](boost::beast::error_code code, size_t) { error = code; });
    RunToEnd();
    return !error;
  }
  // Writes the head alone by the deadline; the body goes out through Write.
  bool WriteHead(StreamHead& head, std::chrono::seconds patience);
  // Whether the client has closed its side or sent something (answers at once): a client of an
  // event stream sends nothing more.
  bool StreamClientGone();
  // Whether the client has closed its side (answers at once); safe from another thread while
  // this one waits for the answer to give.
  bool ClientGone();
  void Close();

  // Waiting for or reading a request's head: the connection does nothing for anyone yet.
  bool Waiting() const { return waiting_; }
  Clock::time_point WaitingSince() const { return Clock::time_point(Clock::duration(since_)); }
  void SetWaiting(bool waiting);
  // Closes the connection from another thread if it is still waiting for a request.
  void Evict();
  // Ends the connection from another thread, whatever it does: a wait on the client ends at
  // once, and every later read, write or question about the client fails.
  void Stop();

 private:
  void RunToEnd();

  boost::asio::io_context io_;
  boost::beast::tcp_stream stream_;
  boost::beast::flat_buffer buffer_;
  std::atomic<bool> waiting_{true};
  std::atomic<bool> stopped_{false};
  std::atomic<Clock::rep> since_;
};

}  // namespace trv::service
