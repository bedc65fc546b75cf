#include "HttpServer.h"

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cctype>
#include <list>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#include "HttpConnection.h"
#include "platform/Text.h"

namespace trv::service {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using std::chrono::seconds;

constexpr size_t kMaxHeader = 8 * 1024;
// Headers a request may carry once only: two of them would leave the answer to chance.
constexpr const char* kSingleHeaders[] = {
    "host", "origin", "content-type", "sec-fetch-site", "transfer-encoding", "content-length"};
// Seconds a client refused at the connection cap is told to wait.
constexpr int kRetryAfterSeconds = 1;
// Reads of what a refused client sent (a request head or two) before its answer.
constexpr int kDrainRounds = 4;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Errors of the HTTP parser that say the bytes are not an acceptable request (as opposed to a
// client that left, or a deadline that passed, which get no answer).
bool IsMalformed(const beast::error_code& error) {
  static const auto& httpErrors = http::make_error_code(http::error::end_of_stream).category();
  return error.category() == httpErrors && error != http::error::end_of_stream &&
         error != http::error::partial_message;
}

// The request's headers with lower-case names; false, naming it, when a single header repeats.
bool CopyHeaders(const http::request<http::string_body>& message, HttpRequest& request,
                 std::string& repeated) {
  for (const auto& field : message) {
    const std::string name = platform::AsciiLower(std::string(field.name_string()));
    const bool single = std::find(std::begin(kSingleHeaders), std::end(kSingleHeaders), name) !=
                        std::end(kSingleHeaders);
    if (single && request.headers.count(name) != 0) {
      repeated = std::string(field.name_string());
      return false;
    }
    request.headers[name] = std::string(field.value());
  }
  return true;
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

bool WriteResponse(HttpConnection& connection, const HttpResponse& response, bool keepAlive,
                   seconds patience) {
  http::response<http::string_body> message{static_cast<http::status>(response.status), 11};
  if (!response.contentType.empty()) message.set(http::field::content_type, response.contentType);
  message.set(http::field::cache_control, "no-store");
  message.set("X-Content-Type-Options", "nosniff");
  for (const auto& [name, value] : response.headers) message.set(name, value);
  message.keep_alive(keepAlive);
  message.body() = response.body;
  message.prepare_payload();
  return connection.WriteMessage(message, patience);
}

// Answers a client that finds every connection busy, without waiting on it: the answer fits in
// the socket's buffer, or the client gets what fits.
void RefuseBusy(HttpConnection& connection) {
  const std::string body = "{\"erro\":\"conexões demais; tente de novo\"}";
  const std::string answer =
      "HTTP/1.1 503 Service Unavailable\r\nRetry-After: " + std::to_string(kRetryAfterSeconds) +
      "\r\nContent-Type: application/json; charset=utf-8\r\n"
      "Cache-Control: no-store\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  beast::error_code ignored;
  tcp::socket& socket = connection.Socket();
  socket.non_blocking(true, ignored);
  // What the client sent already is read and dropped: a socket closed with unread bytes resets
  // the connection, and the client could lose the answer with it.
  char discarded[4096];
  for (int round = 0; round < kDrainRounds; ++round) {
    beast::error_code error;
    socket.read_some(asio::buffer(discarded), error);
    if (error) break;
  }
  socket.write_some(asio::buffer(answer), ignored);
  connection.Close();
}

}  // namespace

struct HttpServer::State {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::list<std::shared_ptr<HttpConnection>> connections;
  // Connection threads still running (evicted ones included).
  std::atomic<int> running{0};
};

HttpServer::HttpServer(Handler handler, Decorator decorate, size_t maxBody, HttpLimits limits)
    : handler_(std::move(handler)),
      decorate_(std::move(decorate)),
      maxBody_(maxBody),
      limits_(limits),
      state_(std::make_unique<State>()) {}

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

int HttpServer::Connections() const {
  return state_->running;
}

void HttpServer::Run() {
  while (!state_->stopping) {
    auto connection = std::make_shared<HttpConnection>();
    beast::error_code error;
    state_->acceptor.accept(connection->Socket(), error);
    if (error || state_->stopping) continue;
    if (!Admit(connection)) {
      RefuseBusy(*connection);
      continue;
    }
    ++state_->running;
    try {
      std::thread([this, connection] {
        try {
          Serve(*connection);
        } catch (...) {
          // Nothing may leave a thread's entry; the connection ends with what it had.
          connection->Close();
        }
        Forget(connection);
        --state_->running;  // the server is not touched after this
      }).detach();
    } catch (const std::system_error&) {  // no thread to be had
      Forget(connection);
      --state_->running;
      RefuseBusy(*connection);
    }
  }
}

void HttpServer::Stop() {
  state_->stopping = true;
  beast::error_code ignored;
  state_->acceptor.close(ignored);
}

bool HttpServer::Admit(const std::shared_ptr<HttpConnection>& connection) {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  auto& open = state_->connections;
  if (static_cast<int>(open.size()) >= limits_.maxConnections) {
    // The oldest connection that waits for a request does nothing for anyone: it makes room.
    auto oldest = open.end();
    for (auto it = open.begin(); it != open.end(); ++it) {
      if (!(*it)->Waiting()) continue;
      if (oldest == open.end() || (*it)->WaitingSince() < (*oldest)->WaitingSince()) oldest = it;
    }
    if (oldest == open.end()) return false;
    (*oldest)->Evict();
    open.erase(oldest);
  }
  open.push_back(connection);
  return true;
}

void HttpServer::Forget(const std::shared_ptr<HttpConnection>& connection) {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->connections.remove(connection);
}

HttpResponse HttpServer::Refusal(int status, const std::string& text,
                                 const HttpRequest& request) const {
  HttpResponse response;
  response.status = status;
  // The text may quote the client's bytes (a header's value): escaped, and replaced where they
  // are not UTF-8.
  response.body =
      nlohmann::json{{"erro", text}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (decorate_) decorate_(request, response);
  return response;
}

void HttpServer::Serve(HttpConnection& connection) {
  bool first = true;
  while (ServeOne(connection, first)) first = false;
  connection.Close();
}

bool HttpServer::ServeOne(HttpConnection& connection, bool first) {
  connection.SetWaiting(true);
  // A new connection's head is due a few seconds after connecting; a kept-alive one may wait
  // longer for its next request, whose head is then due as soon.
  if (!first && !connection.AwaitRequest(seconds(limits_.idleSeconds))) return false;
  const seconds patience(limits_.headSeconds);
  HttpConnection::RequestParser parser;
  parser.header_limit(kMaxHeader);
  parser.body_limit(maxBody_);
  beast::error_code error = connection.ReadHead(parser, HttpConnection::Clock::now() + patience);
  connection.SetWaiting(false);
  HttpRequest request;
  std::string repeated;
  const bool single = CopyHeaders(parser.get(), request, repeated);
  // A read of the head or the body that failed: an oversized or malformed request is answered
  // before the connection closes.
  const auto refuseFailedRead = [&](const beast::error_code& failure) {
    if (failure == http::error::body_limit) {
      WriteResponse(connection, Refusal(413, "corpo grande demais", request), false, patience);
    } else if (IsMalformed(failure)) {
      WriteResponse(connection, Refusal(400, "pedido HTTP malformado", {}), false, patience);
    }
  };
  if (error) {
    refuseFailedRead(error);
    return false;
  }
  if (!single) {
    WriteResponse(connection, Refusal(400, "cabeçalho repetido: " + repeated, {}), false, patience);
    return false;
  }
  const std::string coding = platform::AsciiLower(Trimmed(request.Header("transfer-encoding")));
  if (!coding.empty() && coding != "chunked") {
    WriteResponse(connection, Refusal(501, "Transfer-Encoding não suportado: " + coding, request),
                  false, patience);
    return false;
  }
  error = connection.ReadBody(parser, HttpConnection::Clock::now() + patience);
  if (error) {
    refuseFailedRead(error);
    return false;
  }
  const auto& message = parser.get();
  request.method = std::string(message.method_string());
  request.body = message.body();
  if (!ParseTarget(std::string(message.target()), request)) {
    WriteResponse(connection, Refusal(400, "endereço malformado", request), false, patience);
    return false;
  }
  return Answer(connection, request, message.keep_alive());
}

bool HttpServer::Answer(HttpConnection& connection, HttpRequest& request, bool keepAlive) {
  const seconds patience(limits_.writeSeconds);
  request.clientGone = [&connection] { return connection.ClientGone(); };
  HttpResponse response;
  try {
    response = handler_(request);
  } catch (...) {
    response = Refusal(500, "erro interno", request);
  }
  if (response.stream) {
    if (connection.Write(StreamHead(response), patience)) {
      response.stream([&connection, patience](
                          const std::string& chunk) { return connection.Write(chunk, patience); },
                      [&connection] { return connection.StreamClientGone(); });
    }
    return false;
  }
  keepAlive = keepAlive && response.status < 400;
  return WriteResponse(connection, response, keepAlive, patience) && keepAlive;
}

}  // namespace trv::service
