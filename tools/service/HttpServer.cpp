#include "HttpServer.h"

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <cerrno>
#include <thread>

namespace trv::service {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr int kMaxConnections = 256;
constexpr size_t kMaxHeader = 8 * 1024;
// A connection silent this long between requests (or within one) is closed.
constexpr int kIdleSeconds = 30;

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void SetReceiveTimeout(tcp::socket& socket) {
#ifdef _WIN32
  const DWORD milliseconds = kIdleSeconds * 1000;
  setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO,
             reinterpret_cast<const char*>(&milliseconds), sizeof milliseconds);
#else
  const timeval time{kIdleSeconds, 0};
  setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &time, sizeof time);
#endif
}

bool WriteAll(tcp::socket& socket, const std::string& data) {
  beast::error_code error;
  asio::write(socket, asio::buffer(data), error);
  return !error;
}

// A client of an event stream sends nothing more: anything readable is its end (or junk).
bool ClientClosed(tcp::socket& socket) {
#ifdef _WIN32
  u_long waiting = 0;
  if (ioctlsocket(socket.native_handle(), FIONREAD, &waiting) != 0) return true;
  if (waiting > 0) return true;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket.native_handle(), &readable);
  timeval now{0, 0};
  // Readable with nothing waiting: the peer closed.
  return select(0, &readable, nullptr, nullptr, &now) != 0;
#else
  char byte = 0;
  const ssize_t n = recv(socket.native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
#endif
}

// The head of an event stream: no length, the connection ends with the stream.
std::string StreamHead(const HttpResponse& response) {
  std::string head =
      "HTTP/1.1 " + std::to_string(response.status) + " " +
      std::string(http::obsolete_reason(static_cast<http::status>(response.status))) +
      "\r\nContent-Type: " + response.contentType + "\r\nConnection: close\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  return head + "\r\n";
}

bool WriteResponse(tcp::socket& socket, const HttpResponse& response, bool keepAlive) {
  http::response<http::string_body> message{static_cast<http::status>(response.status), 11};
  if (!response.contentType.empty()) message.set(http::field::content_type, response.contentType);
  message.set(http::field::cache_control, "no-store");
  message.set("X-Content-Type-Options", "nosniff");
  for (const auto& [name, value] : response.headers) message.set(name, value);
  message.keep_alive(keepAlive);
  message.body() = response.body;
  message.prepare_payload();
  beast::error_code error;
  http::write(socket, message, error);
  return !error;
}

HttpResponse Refusal(int status, const std::string& text) {
  HttpResponse response;
  response.status = status;
  response.body = "{\"erro\":\"" + text + "\"}";
  return response;
}

}  // namespace

struct HttpServer::State {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  std::atomic<bool> stopping{false};
};

HttpServer::HttpServer(Handler handler, size_t maxBody)
    : handler_(std::move(handler)), maxBody_(maxBody), state_(std::make_unique<State>()) {}

HttpServer::~HttpServer() {
  Stop();
}

bool HttpServer::Listen(const std::string& address, uint16_t port, std::string& error) {
  beast::error_code code;
  const asio::ip::address ip = asio::ip::make_address(address, code);
  if (!code) state_->acceptor.open(ip.is_v6() ? tcp::v6() : tcp::v4(), code);
#ifdef _WIN32
  // No other program may bind the port beside this one (Windows would let it, by default).
  if (!code) {
    BOOL exclusive = TRUE;
    setsockopt(state_->acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  }
#else
  // A restarted service binds again at once, past the old connections' TIME_WAIT.
  if (!code) state_->acceptor.set_option(asio::socket_base::reuse_address(true), code);
#endif
  if (!code) state_->acceptor.bind(tcp::endpoint(ip, port), code);
  if (!code) state_->acceptor.listen(asio::socket_base::max_listen_connections, code);
  if (code) error = address + ":" + std::to_string(port) + ": " + code.message();
  return !code;
}

uint16_t HttpServer::Port() const {
  beast::error_code error;
  const tcp::endpoint local = state_->acceptor.local_endpoint(error);
  return error ? 0 : local.port();
}

void HttpServer::Run() {
  while (!state_->stopping) {
    auto socket = std::make_shared<tcp::socket>(state_->io);
    beast::error_code error;
    state_->acceptor.accept(*socket, error);
    if (error) continue;
    if (connections_ >= kMaxConnections) continue;  // closed as it goes out of scope
    ++connections_;
    std::thread([this, socket] {
      Serve(socket.get());
      --connections_;
    }).detach();
  }
}

void HttpServer::Stop() {
  state_->stopping = true;
  beast::error_code ignored;
  state_->acceptor.close(ignored);
}

void HttpServer::Serve(void* opaque) {
  tcp::socket& socket = *static_cast<tcp::socket*>(opaque);
  SetReceiveTimeout(socket);
  beast::flat_buffer buffer;
  for (;;) {
    http::request_parser<http::string_body> parser;
    parser.header_limit(kMaxHeader);
    parser.body_limit(maxBody_);
    beast::error_code error;
    http::read(socket, buffer, parser, error);
    if (error == http::error::body_limit) {
      WriteResponse(socket, Refusal(413, "corpo grande demais"), false);
      break;
    }
    if (error == http::error::end_of_stream || error == asio::error::connection_reset ||
        error == asio::error::eof || error == asio::error::would_block ||
        error == asio::error::timed_out) {
      break;
    }
    if (error) {  // not HTTP, or headers beyond the limit
      WriteResponse(socket, Refusal(400, "pedido HTTP malformado"), false);
      break;
    }
    const auto& message = parser.get();
    HttpRequest request;
    request.method = std::string(message.method_string());
    for (const auto& field : message) {
      request.headers[Lowercase(std::string(field.name_string()))] = std::string(field.value());
    }
    request.body = message.body();
    HttpResponse response;
    if (!ParseTarget(std::string(message.target()), request)) {
      response = Refusal(400, "endereço malformado");
    } else {
      try {
        response = handler_(request);
      } catch (const std::exception&) {
        response = Refusal(500, "erro interno");
      }
    }
    if (response.stream) {
      if (WriteAll(socket, StreamHead(response))) {
        response.stream([&socket](const std::string& chunk) { return WriteAll(socket, chunk); },
                        [&socket] { return ClientClosed(socket); });
      }
      break;
    }
    const bool keepAlive = message.keep_alive() && response.status < 400;
    if (!WriteResponse(socket, response, keepAlive) || !keepAlive) break;
  }
  beast::error_code ignored;
  socket.shutdown(tcp::socket::shutdown_both, ignored);
}

}  // namespace trv::service
