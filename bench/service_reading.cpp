// service_reading: what the local weight service (travinel servir) adds to reading a scale.
//   - a reading through the service (POST /v1/ler over a kept-alive loopback connection) next to
//     the scale component's LePeso directly and to the form's own path without HTTP (enable,
//     LerPeso, disable), each against a Filizola simulator in this process (median, p99);
//   - 100 event listeners (GET /v1/eventos) on one scale for a while: the process's resident
//     memory early and late, and the events they received;
//   - the idle service (no client): the process's CPU time, scaled to an hour.
// The service runs in this process on a port the system chooses.
//   service_reading [--readings N] [--seconds S]
// Prints its figures next to the goals and asserts nothing about time: machines differ.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FigureTable.h"
#include "HttpServer.h"
#include "LocalSimulator.h"
#include "ProcessCpu.h"
#include "WeightService.h"
#include "control/FormProperties.h"
#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"
#include "scale/TrvBAL.h"

namespace {

using trv::bench::Format;
using trv::bench::ProcessCpuMilliseconds;

using Steady = std::chrono::steady_clock;
using trv::service::HttpServer;
using trv::service::WeightService;

constexpr int64_t kGrams = 1234;
constexpr int kListeners = 100;

double MillisecondsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

struct Spread {
  double median = 0;
  double p99 = 0;
  int failures = 0;
};

Spread SpreadOf(std::vector<double> values, int failures) {
  Spread spread;
  spread.failures = failures;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  spread.median = values[values.size() / 2];
  spread.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
  return spread;
}

int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

// One request on a kept-alive connection; the body of the answer, empty on a failure.
std::string Exchange(int fd, const std::string& request) {
  if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
  std::string answer;
  char buffer[4096];
  for (;;) {
    const size_t head = answer.find("\r\n\r\n");
    if (head != std::string::npos) {
      const size_t length = answer.find("Content-Length: ");
      if (length != std::string::npos) {
        const size_t size = std::strtoul(answer.c_str() + length + 16, nullptr, 10);
        if (answer.size() >= head + 4 + size) return answer.substr(head + 4, size);
      }
    }
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    answer.append(buffer, static_cast<size_t>(n));
  }
}

Spread ThroughService(uint16_t port, const std::string& scalePort, int readings) {
  const std::string body = "{\"Porta\":\"" + scalePort + "\",\"Mod_Bal\":1}";
  const std::string request =
      "POST /v1/ler HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
      "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\n\r\n" + body;
  const int fd = Connect(port);
  std::vector<double> times;
  int failures = 0;
  for (int i = 0; i < readings && fd >= 0; ++i) {
    const auto start = Steady::now();
    const std::string answer = Exchange(fd, request);
    const double elapsed = MillisecondsSince(start);
    if (answer.find("\"PesoLido\":1234,") == std::string::npos) {
      ++failures;
      continue;
    }
    times.push_back(elapsed);
  }
  if (fd >= 0) close(fd);
  return SpreadOf(times, failures + (fd < 0 ? readings : 0));
}

Spread LePesoDirectly(const std::string& scalePort, int readings) {
  trv::TTrvBAL scale(nullptr);
  scale.SetPorta(scalePort);
  scale.SetModelo(trv::balFilizola);
  std::vector<double> times;
  int failures = 0;
  for (int i = 0; i < readings; ++i) {
    const auto start = Steady::now();
    const double weight = scale.LePeso(2000);
    const double elapsed = MillisecondsSince(start);
    if (weight == 1.234) {
      times.push_back(elapsed);
    } else {
      ++failures;
    }
  }
  return SpreadOf(times, failures);
}

// The form's path of one reading by the service, without HTTP or threads.
Spread FormDirectly(const std::string& scalePort, int readings) {
  trv::HeadlessControls ui;
  trv::TFfrmActivexForm form(nullptr, ui.Controls());
  trv::FormSettings settings;
  settings.portPath = scalePort;
  settings.modelo = 1;
  trv::FormProperties::Configure(form, settings);
  std::vector<double> times;
  int failures = 0;
  for (int i = 0; i < readings; ++i) {
    const auto start = Steady::now();
    form.SetUsrBal(1);
    form.LerPeso();
    const double weight = form.PesoLido();
    form.SetUsrBal(0);
    const double elapsed = MillisecondsSince(start);
    if (weight == 1234) {
      times.push_back(elapsed);
    } else {
      ++failures;
    }
  }
  return SpreadOf(times, failures);
}

struct Listening {
  double earlyMiB = 0;
  double lateMiB = 0;
  long events = 0;
  int connected = 0;
};

Listening ListenersFor(uint16_t port, const std::string& scalePort, int seconds) {
  const std::string request = "GET /v1/eventos?Porta=" + scalePort +
                              "&Mod_Bal=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\n\r\n";
  std::atomic<long> events{0};
  std::vector<int> sockets;
  std::vector<std::thread> readers;
  for (int i = 0; i < kListeners; ++i) {
    const int fd = Connect(port);
    if (fd < 0 || write(fd, request.data(), request.size()) < 0) continue;
    sockets.push_back(fd);
    readers.emplace_back([fd, &events] {
      char buffer[4096];
      ssize_t n = 0;
      while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t k = 0; k + 5 < n; ++k) {
          if (std::memcmp(buffer + k, "data:", 5) == 0) ++events;
        }
      }
    });
  }
  Listening result;
  result.connected = static_cast<int>(sockets.size());
  std::this_thread::sleep_for(std::chrono::seconds(std::min(5, seconds)));
  result.earlyMiB = ResidentMiB();
  std::this_thread::sleep_for(std::chrono::seconds(std::max(seconds - 5, 1)));
  result.lateMiB = ResidentMiB();
  result.events = events;
  for (int fd : sockets) shutdown(fd, SHUT_RDWR);
  for (std::thread& reader : readers) reader.join();
  for (int fd : sockets) close(fd);
  return result;
}

void Row(const char* figure, const std::string& value, const char* goal, const char* met) {
  trv::bench::PrintFigureRow(56, figure, value, goal, met);
}

int Argument(int argc, char** argv, const char* name, int fallback, int high) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::clamp(std::atoi(argv[i + 1]), 1, high);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int readings = Argument(argc, argv, "--readings", 50, 1000);
  const int seconds = Argument(argc, argv, "--seconds", 60, 600);
  std::string error;
  trv::bench::LocalSimulator simulator(kGrams);
  if (!simulator.Start(error)) {
    std::fprintf(stderr, "service_reading: %s\n", error.c_str());
    return 1;
  }
  // The guard lets in the Host that names the service's port, known once it is bound.
  trv::service::ServiceSettings settings;
  std::unique_ptr<WeightService> service;
  HttpServer server([&service](const auto& request) { return service->Handle(request); },
                    [&service](const auto& request, auto& response) {
                      service->AddCorsHeaders(request, response);
                    },
                    WeightService::kMaxBody);
  if (!server.Listen("127.0.0.1", 0, error)) {
    std::fprintf(stderr, "service_reading: %s\n", error.c_str());
    return 1;
  }
  settings.port = server.Port();
  service = std::make_unique<WeightService>(settings);
  std::thread accepting([&server] { server.Run(); });

  const Spread direct = LePesoDirectly(simulator.Port(), readings);
  const Spread form = FormDirectly(simulator.Port(), readings);
  const Spread http = ThroughService(settings.port, simulator.Port(), readings);
  const Listening listening = ListenersFor(settings.port, simulator.Port(), seconds);
  // Idle: the listeners have gone (the service notices within a second), the scale is disabled
  // and every thread of the service waits.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double cpuStart = ProcessCpuMilliseconds();
  const auto idleStart = Steady::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double idleCpu = ProcessCpuMilliseconds() - cpuStart;
  const double idlePerHour = idleCpu * 3600.0 / MillisecondsSince(idleStart);

  std::printf(
      "service_reading: Filizola simulator on %s, %d readings each; %d listeners and "
      "then idle for %d s\n\n",
      simulator.Port().c_str(), readings, kListeners, seconds);
  Row("figure", "measured", "goal", "met");
  Row("LePeso directly, median", Format("%.3f ms", direct.median), "", "");
  Row("LePeso directly, p99", Format("%.3f ms", direct.p99), "", "");
  Row("the form's enable + LerPeso + disable, median", Format("%.3f ms", form.median), "", "");
  Row("the form's enable + LerPeso + disable, p99", Format("%.3f ms", form.p99), "", "");
  Row("POST /v1/ler through the service, median", Format("%.3f ms", http.median), "", "");
  Row("POST /v1/ler through the service, p99", Format("%.3f ms", http.p99), "", "");
  const double extraMedian = http.median - direct.median;
  const double extraP99 = http.p99 - direct.p99;
  Row("  service beyond LePeso, median", Format("%.3f ms", extraMedian), "< 1 ms",
      extraMedian < 1.0 ? "yes" : "no");
  Row("  service beyond LePeso, p99", Format("%.3f ms", extraP99), "< 1 ms",
      extraP99 < 1.0 ? "yes" : "no");
  Row("  service beyond the form's own path, median", Format("%.3f ms", http.median - form.median),
      "", "");
  Row("event listeners connected", Format("%.0f", listening.connected), "100", "");
  Row("events they received", Format("%.0f", static_cast<double>(listening.events)), "", "");
  Row("resident memory 5 s after they connected", Format("%.1f MiB", listening.earlyMiB), "", "");
  Row("resident memory at the end", Format("%.1f MiB", listening.lateMiB), "steady",
      listening.lateMiB - listening.earlyMiB < 1.0 ? "yes" : "no");
  Row("idle service: CPU per hour", Format("%.3f s", idlePerHour), "< 1 s",
      idlePerHour < 1.0 ? "yes" : "no");
  const int failures = direct.failures + form.failures + http.failures;
  if (failures != 0) std::printf("\n  %d readings failed\n", failures);
  server.Stop();
  // A thread still blocked in accept() belongs to a service that is going: end here.
  std::fflush(stdout);
  std::_Exit(failures == 0 && listening.connected == kListeners ? 0 : 1);
}
