#include "HttpServer.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <list>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>
#include <thread>

#include "HttpConnection.h"
#include "ListenSocket.h"
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
constexpr std::string_view kSingleHeaders[] = {
    "Host", "Origin", "Content-Type", "Sec-Fetch-Site", "Transfer-Encoding", "Content-Length"};
// Seconds a client refused at the connection cap is told to wait.
constexpr int kRetryAfterSeconds = 1;
// Reads of what a refused client sent (a request head or two) before its answer.
constexpr int kDrainRounds = 4;
// A failed accept (no descriptor left, say) is tried again after this, not at once in a loop.
constexpr std::chrono::milliseconds kAcceptBackOff(100);

// Errors of the HTTP parser that say the bytes are not an acceptable request (as opposed to a
// client that left, or a deadline that passed, which get no answer).
bool IsMalformed(const beast::error_code& error) {
  static const auto& httpErrors = http::make_error_code(http::error::end_of_stream).category();
  return error.category() == httpErrors && error != http::error::end_of_stream &&
         error != http::error::partial_message;
}

beast::string_view View(std::string_view text) {
  return {text.data(), text.size()};
}

// The name, as the client spelled it, of a header sent twice that may come once only; empty
// when there is none.
std::string RepeatedHeader(const http::fields& headers) {
  for (const std::string_view name : kSingleHeaders) {
    if (headers.count(View(name)) > 1) return std::string(headers.find(View(name))->name_string());
  }
  return {};
}

// What the request's head says, for an answer given before its body is read.
HttpRequest HeadOf(const http::request<http::string_body>& message) {
  HttpRequest request;
  request.method = std::string(message.method_string());
  request.headers = static_cast<const http::fields&>(message);
  return request;
}

// The head of an event stream: no length, the connection ends with the stream.
HttpConnection::StreamHead StreamHead(const HttpResponse& response) {
  HttpConnection::StreamHead head{static_cast<http::status>(response.status), 11};
  head.set(http::field::content_type, response.contentType);
  head.keep_alive(false);
  for (const auto& [name, value] : response.headers) head.insert(name, value);
  return head;
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
  http::response<http::string_body> answer{http::status::service_unavailable, 11};
  answer.set(http::field::retry_after, std::to_string(kRetryAfterSeconds));
  answer.set(http::field::content_type, "application/json; charset=utf-8");
  answer.set(http::field::cache_control, "no-store");
  answer.keep_alive(false);
  answer.body() = nlohmann::json{{"erro", "conexões demais; tente de novo"}}.dump();
  answer.prepare_payload();
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
  http::write(socket, answer, ignored);
  connection.Close();
}

}  // namespace

// A connection's thread, and the connection it serves (for Stop).
struct HttpServer::Worker {
  std::shared_ptr<HttpConnection> connection;
  std::thread thread;
};

struct HttpServer::State {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  asio::steady_timer backOff{io};
  std::mutex mutex;
  bool stopping = false;
  // Connections served now, counted against the cap.
  std::list<std::shared_ptr<HttpConnection>> connections;
  // Threads running (evicted connections' included), and those that have ended, to be joined.
  std::list<Worker> workers;
  std::list<Worker> ended;
  std::condition_variable workerEnded;
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
  if (!code) code = ListenSocket::Claim(state_->acceptor);
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
  // A connection that could not be taken (no memory) ends the accepting chain with an exception
  // out of run(): accepting starts over, until Stop closes the acceptor.
  for (bool accepting = true; accepting;) {
    try {
      if (state_->acceptor.is_open()) Accept();
      state_->io.run();
      accepting = false;
    } catch (const std::exception&) {
    }
  }
  JoinAllWorkers();
}

void HttpServer::Stop() {
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    for (Worker& worker : state_->workers) worker.connection->Stop();
  }
  // The acceptor belongs to Run's thread: it is closed there, which ends Run's accepting.
  asio::post(state_->io, [this] {
    beast::error_code ignored;
    state_->acceptor.close(ignored);
    state_->backOff.cancel();
  });
}

void HttpServer::Accept() {
  auto connection = std::make_shared<HttpConnection>();
  state_->acceptor.async_accept(connection->Socket(), [this, connection](beast::error_code error) {
    JoinEndedWorkers();
    if (!state_->acceptor.is_open()) return;
    if (!error) {
      Take(connection);
      Accept();
      return;
    }
    state_->backOff.expires_after(kAcceptBackOff);
    state_->backOff.async_wait([this](beast::error_code waited) {
      if (!waited && state_->acceptor.is_open()) Accept();
    });
  });
}

void HttpServer::Take(const std::shared_ptr<HttpConnection>& connection) {
  if (!Admit(connection)) {
    RefuseBusy(*connection);
  } else if (!StartWorker(connection)) {
    Forget(connection);
    RefuseBusy(*connection);
  }
}

bool HttpServer::StartWorker(const std::shared_ptr<HttpConnection>& connection) {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  const auto worker = state_->workers.insert(state_->workers.end(), Worker{connection, {}});
  // Admitted just before a stop, it missed the stop's round of the workers.
  if (state_->stopping) connection->Stop();
  try {
    worker->thread = std::thread([this, connection, worker] {
      try {
        Serve(*connection);
      } catch (...) {
        // Nothing may leave a thread's entry; the connection ends with what it had.
        connection->Close();
      }
      Forget(connection);
      const std::lock_guard<std::mutex> ending(state_->mutex);
      state_->ended.splice(state_->ended.end(), state_->workers, worker);
      state_->workerEnded.notify_all();  // the server is not touched after this
    });
  } catch (const std::system_error&) {  // no thread to be had
    state_->workers.erase(worker);
    return false;
  }
  return true;
}

void HttpServer::JoinEndedWorkers() {
  std::list<Worker> ended;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    ended.swap(state_->ended);
  }
  for (Worker& worker : ended) worker.thread.join();
}

void HttpServer::JoinAllWorkers() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  while (!state_->workers.empty() || !state_->ended.empty()) {
    state_->workerEnded.wait(lock, [this] { return !state_->ended.empty(); });
    lock.unlock();
    JoinEndedWorkers();
    lock.lock();
  }
}

bool HttpServer::Admit(const std::shared_ptr<HttpConnection>& connection) {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->stopping) return false;
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
  // A read of the head or the body that failed: an oversized or malformed request is answered
  // before the connection closes.
  const auto refuseFailedRead = [&](const beast::error_code& failure) {
    if (failure == http::error::body_limit) {
      WriteResponse(connection, Refusal(413, "corpo grande demais", HeadOf(parser.get())), false,
                    patience);
    } else if (IsMalformed(failure)) {
      WriteResponse(connection, Refusal(400, "pedido HTTP malformado", {}), false, patience);
    }
  };
  if (error) {
    refuseFailedRead(error);
    return false;
  }
  if (const std::string repeated = RepeatedHeader(parser.get()); !repeated.empty()) {
    WriteResponse(connection, Refusal(400, "cabeçalho repetido: " + repeated, {}), false, patience);
    return false;
  }
  const auto coding = parser.get().find(http::field::transfer_encoding);
  if (coding != parser.get().end()) {
    const std::string name =
        platform::AsciiLower(platform::Trim({coding->value().data(), coding->value().size()}));
    if (!name.empty() && name != "chunked") {
      WriteResponse(connection,
                    Refusal(501, "Transfer-Encoding não suportado: " + name, HeadOf(parser.get())),
                    false, patience);
      return false;
    }
  }
  error = connection.ReadBody(parser, HttpConnection::Clock::now() + patience);
  if (error) {
    refuseFailedRead(error);
    return false;
  }
  http::request<http::string_body> message = parser.release();
  HttpRequest request;
  if (!ParseTarget(std::string(message.target()), request)) {
    WriteResponse(connection, Refusal(400, "endereço malformado", HeadOf(message)), false,
                  patience);
    return false;
  }
  request.method = std::string(message.method_string());
  const bool keepAlive = message.keep_alive();
  request.body = std::move(message.body());
  request.headers = std::move(static_cast<http::fields&>(message));
  return Answer(connection, request, keepAlive);
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
    HttpConnection::StreamHead head = StreamHead(response);
    if (connection.WriteHead(head, patience)) {
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
