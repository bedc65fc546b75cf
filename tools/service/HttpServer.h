#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "HttpMessage.h"

namespace trv::service {

class HttpConnection;

// How long the server waits on a client, and for how many.
struct HttpLimits {
  // A request's head must arrive within this of connecting (or of its first byte on a kept-alive
  // connection), and its body within this again.
  int headSeconds = 10;
  // A kept-alive connection waits this long for the next request.
  int idleSeconds = 30;
  // A client must take an answer (or an event) within this.
  int writeSeconds = 30;
  // Connections served at once. Beyond it the oldest one still waiting for a request is closed
  // for the newcomer; when every one is busy, the newcomer is answered 503 with Retry-After.
  int maxConnections = 256;
};

// A small HTTP/1.1 server on Boost.Beast: one thread per connection (a shop's few pages), each
// request handed to the handler. A request whose headers or body exceed the limits, or that is
// not HTTP at all, is answered 400 or 413 and the connection closed, unread beyond the limit.
// Every wait on a client has a deadline (HttpLimits). An event stream keeps its connection.
// Stop ends every connection, a stream's included, and Run returns once their threads have
// ended; the server and its handler may then be destroyed.
class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  // Adds to an answer the server gives by itself (a body too large, a malformed target) what the
  // service adds to its own answers for that request, such as CORS headers.
  using Decorator = std::function<void(const HttpRequest&, HttpResponse&)>;

  HttpServer(Handler handler, Decorator decorate, size_t maxBody, HttpLimits limits = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds the address and port; false with the reason in `error`.
  bool Listen(const std::string& address, uint16_t port, std::string& error);
  // The port bound (the one the system chose when Listen was given 0).
  uint16_t Port() const;
  // Accepts and serves connections until Stop (from another thread, or before Run), then waits
  // for every connection's thread to end: a handler's work in progress (a reading) is the only
  // wait left, the clients' sockets being closed.
  void Run();
  void Stop();

 private:
  struct State;
  struct Worker;
  // Waits for the next client, again and again until Stop closes the acceptor.
  void Accept();
  void Take(const std::shared_ptr<HttpConnection>& connection);
  // Takes the connection among those served, making room at the cap; false when there is none
  // or the server is stopping.
  bool Admit(const std::shared_ptr<HttpConnection>& connection);
  void Forget(const std::shared_ptr<HttpConnection>& connection);
  // Serves the connection on a thread of its own, tracked until it ends; false without a thread.
  bool StartWorker(const std::shared_ptr<HttpConnection>& connection);
  void JoinEndedWorkers();
  void JoinAllWorkers();
  void Serve(HttpConnection& connection);
  // Reads and serves one request; false when the connection must end.
  bool ServeOne(HttpConnection& connection, bool first);
  // Hands the request to the handler and writes the answer; false when the connection must end.
  bool Answer(HttpConnection& connection, HttpRequest& request, bool keepAlive);
  // An answer the server gives by itself, decorated as the service's own.
  HttpResponse Refusal(int status, const std::string& text, const HttpRequest& request) const;

  Handler handler_;
  Decorator decorate_;
  size_t maxBody_;
  HttpLimits limits_;
  std::unique_ptr<State> state_;
};

}  // namespace trv::service
