// GET /v1/detectar: only a listed page (or the service's own) may start a search, which goes
// through the allowed ports alone and answers the scales found with the control's names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "HttpMessage.h"
#include "LocalRequest.h"
#include "WeightService.h"
#ifndef _WIN32
#include <poll.h>
#include <unistd.h>

#include "testing/Pseudoterminal.h"
#endif

namespace trv::service {
namespace {

HttpRequest Detection(const std::string& origin, const std::string& fetchSite = "") {
  HttpRequest request = LocalRequest("GET", "/v1/detectar");
  if (!origin.empty()) request.headers.set("origin", origin);
  if (!fetchSite.empty()) request.headers.set("sec-fetch-site", fetchSite);
  return request;
}

ServiceSettings ShopWithPorts(std::vector<std::string> ports) {
  ServiceSettings settings;
  settings.origins = {"https://pdv.loja.exemplo"};
  settings.allowedPorts = std::move(ports);
  return settings;
}

TEST(DetectionEndpoint, IsForListedPagesOnly) {
  WeightService service(ShopWithPorts({"/dev/ttyTravinelNenhuma9"}));
  struct Case {
    const char* what;
    HttpRequest request;
    int status;
  };
  const Case cases[] = {
      {"a request without Origin (a program, a link)", Detection(""), 403},
      {"a page of another site", Detection("https://outro.exemplo"), 403},
      {"another site's request without Origin", Detection("", "cross-site"), 403},
      {"a listed page", Detection("https://pdv.loja.exemplo"), 200},
      {"the service's own page", Detection("", "same-origin"), 200},
  };
  for (const Case& c : cases) {
    const HttpResponse response = service.Handle(c.request);
    EXPECT_EQ(response.status, c.status) << c.what << ": " << response.body;
  }
  // The only allowed port does not exist: nothing was searched, nothing found.
  EXPECT_EQ(service.Handle(Detection("https://pdv.loja.exemplo")).body, "[]");
}

#ifndef _WIN32
// A Urano scale of 1234 g on a pseudo-terminal, answering every ENQ until stopped.
class UranoOnPty {
 public:
  UranoOnPty() : pty_((std::filesystem::temp_directory_path() / "travinel-detectar-pty").string()) {
    opened_ = pty_.Open();
    if (opened_) thread_ = std::thread([this] { Serve(); });
  }
  ~UranoOnPty() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Opened() const { return opened_; }
  const std::string& Link() const { return pty_.LinkPath(); }

 private:
  void Serve() {
    while (!stop_) {
      pollfd watch{pty_.MasterFd(), POLLIN, 0};
      if (poll(&watch, 1, 50) <= 0) continue;
      char bytes[64];
      const ssize_t count = read(pty_.MasterFd(), bytes, sizeof bytes);
      for (ssize_t i = 0; i < count; ++i) {
        if (bytes[i] != '\x05') continue;
        static constexpr char kAnswer[] = "E PESO: 1,234kg";
        if (write(pty_.MasterFd(), kAnswer, sizeof kAnswer - 1) < 0) return;
      }
    }
  }

  tools::Pseudoterminal pty_;
  bool opened_ = false;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

TEST(DetectionEndpoint, AnswersTheScalesFoundOnTheAllowedPorts) {
  UranoOnPty scale;
  ASSERT_TRUE(scale.Opened());
  WeightService service(ShopWithPorts({scale.Link()}));
  const HttpResponse response = service.Handle(Detection("https://pdv.loja.exemplo"));
  ASSERT_EQ(response.status, 200) << response.body;
  const nlohmann::json found = nlohmann::json::parse(response.body);
  ASSERT_EQ(found.size(), 1u) << response.body;
  EXPECT_EQ(found[0]["Porta"], scale.Link());
  EXPECT_EQ(found[0]["Mod_Bal"], 4);
  EXPECT_EQ(found[0]["modelo"], "Urano");
  EXPECT_EQ(found[0]["Vel_Bal"], 9600);
  EXPECT_EQ(found[0]["linha"], "9600 8N1");
  EXPECT_DOUBLE_EQ(found[0]["pesoKg"].get<double>(), 1.234);
}

TEST(DetectionEndpoint, RunsOneSearchAtATime) {
  UranoOnPty scale;
  ASSERT_TRUE(scale.Opened());
  WeightService service(ShopWithPorts({scale.Link()}));
  HttpResponse first;
  std::thread searching([&] { first = service.Handle(Detection("https://pdv.loja.exemplo")); });
  // The first search listens half a second at its first line setting before it asks.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  const HttpResponse second = service.Handle(Detection("https://pdv.loja.exemplo"));
  searching.join();
  EXPECT_EQ(second.status, 409) << second.body;
  EXPECT_NE(second.body.find("em andamento"), std::string::npos) << second.body;
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(nlohmann::json::parse(first.body).size(), 1u) << first.body;
}
#endif

}  // namespace
}  // namespace trv::service
