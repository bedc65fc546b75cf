#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "HttpMessage.h"

namespace trv::service {

// A small HTTP/1.1 server on Boost.Beast: one thread per connection (a shop's few pages), each
// request handed to the handler. A request whose headers or body exceed the limits, or that is
// not HTTP at all, is answered 400 or 413 and the connection closed, unread beyond the limit.
// A connection that sends nothing for a while is closed. An event stream keeps its connection.
// Connection threads are detached and use the server and its handler: a program ends while it
// serves (as travinel servir does) rather than destroying the server under them.
class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  HttpServer(Handler handler, size_t maxBody);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the address and port; false with the reason in `error`.
  bool Listen(const std::string& address, uint16_t port, std::string& error);
  // The port bound (the one the system chose when Listen was given 0).
  uint16_t Port() const;
  // Accepts connections until Stop (from another thread).
  void Run();
  void Stop();

  // Connections open now.
  int Connections() const { return connections_; }

 private:
  struct State;
  void Serve(void* socket);

  Handler handler_;
  size_t maxBody_;
  std::unique_ptr<State> state_;
  std::atomic<int> connections_{0};
};

}  // namespace trv::service
