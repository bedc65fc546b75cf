// The HTTP server over real loopback sockets: the deadlines on slow and idle clients, the
// connection cap, event streams, the stop, and the answers it gives by itself.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "HttpServer.h"

namespace trv::service {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A client socket on the loopback address, closed with the object.
class Client {
 public:
  explicit Client(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return connected_; }
  void Send(const std::string& data) { ASSERT_TRUE(TrySend(data)); }
  // False once the server has closed the connection.
  bool TrySend(const std::string& data) {
    return ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size());
  }
  // What arrives until `text` is among it, the server closes, or `patience` passes.
  std::string ReceiveUntil(const std::string& text, milliseconds patience) {
    std::string received;
    const auto deadline = Clock::now() + patience;
    bool closed = false;
    while (!closed && Clock::now() < deadline && received.find(text) == std::string::npos) {
      received += ReceiveAll(milliseconds(20), &closed);
    }
    return received;
  }
  // What arrives until the server closes or `patience` passes.
  std::string ReceiveAll(milliseconds patience, bool* closed = nullptr) {
    std::string received;
    const auto deadline = Clock::now() + patience;
    for (;;) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      pollfd wait{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) break;
      char chunk[4096];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) {
        if (closed != nullptr) *closed = true;
        break;
      }
      received.append(chunk, static_cast<size_t>(n));
    }
    return received;
  }
  // The first answer, when it is complete (its body ends the Content-Length).
  std::string ReceiveAnswer(milliseconds patience) {
    std::string received;
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline && !Complete(received)) {
      received += ReceiveAll(milliseconds(20));
    }
    return received;
  }

 private:
  static bool Complete(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    const size_t length = answer.find("Content-Length: ");
    if (end == std::string::npos || length == std::string::npos) return false;
    return answer.size() >= end + 4 + std::stoul(answer.substr(length + 16));
  }

  int fd_;
  bool connected_ = false;
};

// A server on a free loopback port, its handler answering 200 "ok" (or waiting while `hold`),
// and an event stream at /eventos: an event every 20 ms, or none with ?quieto.
class HttpServerTest : public ::testing::Test {
 protected:
  void Start(HttpLimits limits) {
    server_ = std::make_unique<HttpServer>(
        [this](const HttpRequest& request) {
          if (request.path == "/eventos") return Stream(request.query.count("quieto") != 0);
          std::unique_lock<std::mutex> lock(mutex_);
          ++inHandler_;
          changed_.notify_all();
          changed_.wait(lock, [this] { return !hold_; });
          --inHandler_;
          HttpResponse response;
          response.body = "ok " + request.path;
          return response;
        },
        [](const HttpRequest& request, HttpResponse& response) {
          if (!request.Header("origin").empty()) {
            response.headers.emplace_back("Access-Control-Allow-Origin", request.Header("origin"));
          }
        },
        64, limits);
    std::string error;
    ASSERT_TRUE(server_->Listen("127.0.0.1", 0, error)) << error;
    port_ = server_->Port();
    thread_ = std::thread([this] { server_->Run(); });
  }

  ~HttpServerTest() override {
    Release();
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
    EXPECT_EQ(streams_, 0);
  }

  HttpResponse Stream(bool quiet) {
    HttpResponse response;
    response.contentType = "text/event-stream; charset=utf-8";
    response.headers.emplace_back("X-Fluxo", "sim");
    response.stream = [this, quiet](const StreamWriter& write, const ClientGone& gone) {
      ++streams_;
      while (!gone() && (quiet || write("data: {}\n\n"))) {
        std::this_thread::sleep_for(milliseconds(20));
      }
      --streams_;
    };
    return response;
  }
  // Whether the streams running come down to `count` within `patience`.
  bool StreamsReach(int count, milliseconds patience) {
    const auto deadline = Clock::now() + patience;
    while (streams_ != count && Clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(10));
    }
    return streams_ == count;
  }
  // Stops the server; how long until Run returned.
  milliseconds StopAndWait() {
    const auto start = Clock::now();
    server_->Stop();
    thread_.join();
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  }

  void Hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    hold_ = true;
  }
  void Release() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      hold_ = false;
    }
    changed_.notify_all();
  }
  bool HandlersReach(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return inHandler_ >= count; });
  }

  std::string Get(Client& client, const std::string& extra = "") {
    client.Send("GET /peso HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
    return client.ReceiveAnswer(milliseconds(3000));
  }

  std::unique_ptr<HttpServer> server_;
  std::thread thread_;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool hold_ = false;
  int inHandler_ = 0;
  std::atomic<int> streams_{0};
};

const std::string kStreamRequest = "GET /eventos HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

TEST_F(HttpServerTest, SlowSocketsLeaveALegitimateClientServedWithinASecond) {
  Start(HttpLimits{});
  std::vector<std::unique_ptr<Client>> slow;
  for (int i = 0; i < 300; ++i) {
    slow.push_back(std::make_unique<Client>(port_));
    ASSERT_TRUE(slow.back()->Connected());
    if (i % 2 == 0) slow.back()->Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Lento: ");
  }
  std::this_thread::sleep_for(milliseconds(300));  // every slow one accepted
  const auto start = Clock::now();
  Client client(port_);
  const std::string answer = Get(client);
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
  EXPECT_LT(took.count(), 1000);
  std::cout << "a reading among 300 slow sockets took " << took.count() << " ms" << std::endl;
}

TEST_F(HttpServerTest, SlowOrIdleClientsAreClosedAtTheirDeadlines) {
  Start(HttpLimits{1, 2, 2, 256});
  struct Case {
    const char* what;
    const char* sent;
    bool answered;  // a complete request goes first
    int closedWithinMs;
  };
  const Case cases[] = {
      {"silent", "", false, 1800},
      {"half a head", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", false, 1800},
      {"half a body", "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 9\r\n\r\nabc", false,
       1800},
      {"idle after an answer", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", true, 2800},
  };
  std::vector<std::unique_ptr<Client>> clients;
  for (const Case& c : cases) {
    clients.push_back(std::make_unique<Client>(port_));
    if (*c.sent != '\0') clients.back()->Send(c.sent);
  }
  const auto start = Clock::now();
  for (size_t i = 0; i < clients.size(); ++i) {
    bool closed = false;
    const std::string received = clients[i]->ReceiveAll(milliseconds(4000), &closed);
    const auto at = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_TRUE(closed) << cases[i].what;
    EXPECT_LT(at, cases[i].closedWithinMs) << cases[i].what;
    EXPECT_EQ(received.rfind("HTTP/1.1 200", 0) == 0, cases[i].answered)
        << cases[i].what << ": " << received;
  }
}

// A head that trickles in, a byte at a time, is still due by its deadline after connecting.
TEST_F(HttpServerTest, AHeadSentByteByByteIsCutAtItsDeadline) {
  Start(HttpLimits{1, 2, 2, 256});
  Client client(port_);
  const auto start = Clock::now();
  const std::string head = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Lento: " + std::string(200, 'a');
  bool closed = false;
  std::string received;
  for (size_t i = 0; !closed && Clock::now() - start < std::chrono::seconds(4); ++i) {
    if (!client.TrySend(std::string(1, head[i % head.size()]))) break;
    received += client.ReceiveAll(milliseconds(50), &closed);
  }
  const auto at = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
  EXPECT_GE(at, 900);
  EXPECT_LT(at, 1800);
  EXPECT_EQ(received.find("HTTP/1.1 200"), std::string::npos) << received;
}

// At the cap, the oldest connection still waiting for a request makes room for a newcomer; when
// every connection is busy, each newcomer is answered 503 with Retry-After, in JSON.
TEST_F(HttpServerTest, AtTheCapIdleConnectionsMakeRoomElseNewcomersGet503) {
  Start(HttpLimits{10, 30, 30, 3});
  {
    std::vector<std::unique_ptr<Client>> idle;
    for (int i = 0; i < 3; ++i) {
      idle.push_back(std::make_unique<Client>(port_));
      std::this_thread::sleep_for(milliseconds(20));  // in this order
    }
    // The newcomers stay, kept alive: newer than the idle ones left.
    std::vector<std::unique_ptr<Client>> newcomers;
    for (int i = 0; i < 3; ++i) {
      newcomers.push_back(std::make_unique<Client>(port_));
      EXPECT_EQ(Get(*newcomers.back()).rfind("HTTP/1.1 200", 0), 0u) << "newcomer " << i;
      bool closed = false;
      idle[static_cast<size_t>(i)]->ReceiveAll(milliseconds(1000), &closed);
      EXPECT_TRUE(closed) << "idle connection " << i << " is the oldest";
    }
  }
  Hold();
  std::vector<std::unique_ptr<Client>> busy;
  for (int i = 0; i < 3; ++i) {
    busy.push_back(std::make_unique<Client>(port_));
    busy.back()->Send("GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  }
  ASSERT_TRUE(HandlersReach(3));
  for (int i = 0; i < 20; ++i) {
    Client newcomer(port_);
    newcomer.Send("GET /c HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const std::string refused = newcomer.ReceiveAll(milliseconds(2000));
    ASSERT_EQ(refused.rfind("HTTP/1.1 503", 0), 0u) << refused;
    EXPECT_NE(refused.find("Retry-After: 1\r\n"), std::string::npos) << refused;
    const size_t body = refused.find("\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(refused.substr(body + 4)).at("erro"),
              "conexões demais; tente de novo");
  }
  Release();
  for (auto& client : busy) {
    EXPECT_EQ(client->ReceiveAnswer(milliseconds(2000)).rfind("HTTP/1.1 200", 0), 0u);
  }
}

// A stream's head says what follows and that the connection ends with it; a page that leaves
// ends its stream, whether events are flowing or none has come for a while.
TEST_F(HttpServerTest, AnAbandonedStreamEnds) {
  Start(HttpLimits{10, 30, 30, 256});
  for (const char* target : {"/eventos", "/eventos?quieto"}) {
    {
      Client client(port_);
      client.Send("GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
      const std::string head = client.ReceiveUntil("\r\n\r\n", milliseconds(2000));
      EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << head;
      EXPECT_NE(head.find("Content-Type: text/event-stream; charset=utf-8\r\n"), std::string::npos)
          << head;
      EXPECT_NE(head.find("Connection: close\r\n"), std::string::npos) << head;
      EXPECT_NE(head.find("X-Fluxo: sim\r\n"), std::string::npos) << head;
      EXPECT_EQ(head.find("Content-Length"), std::string::npos) << head;
      ASSERT_TRUE(StreamsReach(1, milliseconds(2000))) << target;
    }
    EXPECT_TRUE(StreamsReach(0, milliseconds(1000))) << target;
  }
}

// Stopping cuts off every client, whatever it is doing, and Run returns at once: open streams
// (flowing and quiet), a half-sent request, a silent socket, a kept-alive idle one.
TEST_F(HttpServerTest, AStopEndsEveryConnectionAndRunReturnsWithinASecond) {
  Start(HttpLimits{10, 30, 30, 256});
  std::vector<std::unique_ptr<Client>> clients;
  for (const char* target : {"/eventos", "/eventos?quieto"}) {
    clients.push_back(std::make_unique<Client>(port_));
    clients.back()->Send("GET " + std::string(target) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  }
  ASSERT_TRUE(StreamsReach(2, milliseconds(2000)));
  clients.push_back(std::make_unique<Client>(port_));
  clients.back()->Send("POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Len");
  clients.push_back(std::make_unique<Client>(port_));
  clients.push_back(std::make_unique<Client>(port_));
  EXPECT_EQ(Get(*clients.back()).rfind("HTTP/1.1 200", 0), 0u);
  std::this_thread::sleep_for(milliseconds(100));  // every one accepted
  EXPECT_LT(StopAndWait().count(), 1000);
  EXPECT_EQ(streams_, 0);
  for (size_t i = 0; i < clients.size(); ++i) {
    bool closed = false;
    clients[i]->ReceiveAll(milliseconds(500), &closed);
    EXPECT_TRUE(closed) << "client " << i;
  }
  EXPECT_FALSE(Client(port_).Connected());
}

TEST_F(HttpServerTest, AnswersWhatItRefusesByItselfTruthfully) {
  Start(HttpLimits{2, 2, 2, 256});
  struct Case {
    std::string request;
    const char* status;
    bool cors;
  };
  const std::string origin = "Origin: https://pdv.loja.exemplo\r\n";
  const Case cases[] = {
      {"POST /v1/ler HTTP/1.1\r\nHost: 127.0.0.1\r\n" + origin + "Content-Length: 65\r\n\r\n",
       "HTTP/1.1 413", true},
      {"GET /a%zz HTTP/1.1\r\nHost: 127.0.0.1\r\n" + origin + "\r\n", "HTTP/1.1 400", true},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: rebind.exemplo\r\n\r\n", "HTTP/1.1 400", false},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + origin + origin + "\r\n", "HTTP/1.1 400", false},
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: gzip\r\n\r\n", "HTTP/1.1 501",
       false},
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n",
       "HTTP/1.1 501", false},
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: \"}, \"x\": \"\xff\r\n\r\n",
       "HTTP/1.1 501", false},
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: "
       "chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
       "HTTP/1.1 200", false},
  };
  for (const Case& c : cases) {
    Client client(port_);
    client.Send(c.request);
    const std::string answer = client.ReceiveAnswer(milliseconds(3000));
    EXPECT_EQ(answer.rfind(c.status, 0), 0u) << c.request << "\n-> " << answer;
    // The server's own refusals are JSON, whatever bytes the request held.
    const size_t body = answer.find("\r\n\r\n");
    if (answer.rfind("HTTP/1.1 200", 0) != 0) {
      EXPECT_TRUE(body != std::string::npos && nlohmann::json::accept(answer.substr(body + 4)))
          << answer;
    }
    EXPECT_EQ(
        answer.find("Access-Control-Allow-Origin: https://pdv.loja.exemplo") != std::string::npos,
        c.cors)
        << c.request << "\n-> " << answer;
  }
}

}  // namespace
}  // namespace trv::service
