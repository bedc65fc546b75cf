// The HTTP server over real loopback sockets: the deadlines on slow and idle clients, the
// connection cap, and the answers it gives by itself.
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
  void Send(const std::string& data) {
    ASSERT_EQ(::send(fd_, data.data(), data.size(), MSG_NOSIGNAL), ssize_t(data.size()));
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

// A server on a free loopback port, its handler answering 200 "ok" (or waiting while `hold`).
class HttpServerTest : public ::testing::Test {
 protected:
  void Start(HttpLimits limits) {
    server_ = std::make_unique<HttpServer>(
        [this](const HttpRequest& request) {
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
    if (!server_) return;
    server_->Stop();
    {
      const Client wake(port_);  // wakes the acceptor out of its wait
    }
    thread_.join();
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (server_->Connections() > 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_EQ(server_->Connections(), 0);
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
};

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

TEST_F(HttpServerTest, AtTheCapABusyServerAnswers503WithRetryAfter) {
  Start(HttpLimits{10, 30, 30, 2});
  Hold();
  Client first(port_);
  Client second(port_);
  first.Send("GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  second.Send("GET /b HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  ASSERT_TRUE(HandlersReach(2));
  Client third(port_);
  third.Send("GET /c HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  const std::string refused = third.ReceiveAll(milliseconds(2000));
  EXPECT_EQ(refused.rfind("HTTP/1.1 503", 0), 0u) << refused;
  EXPECT_NE(refused.find("Retry-After: "), std::string::npos) << refused;
  Release();
  EXPECT_EQ(first.ReceiveAnswer(milliseconds(2000)).rfind("HTTP/1.1 200", 0), 0u);
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
