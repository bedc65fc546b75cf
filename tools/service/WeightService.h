#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "CommandOptions.h"
#include "HttpMessage.h"
#include "RequestGuard.h"
#include "ScaleStation.h"
#include "ServiceSettings.h"

namespace trv::service {

// The local weight service's answers, independent of the HTTP library:
//   POST /v1/ler       one reading, as the control's LerPeso
//   GET  /v1/eventos   the form's statuses as Server-Sent Events while the page listens
//   GET  /v1/portas    the machine's serial ports
//   GET  /  and  /travinel.js   the demonstration page and the client module
// Every request passes the RequestGuard first; JSON goes out in UTF-8.
class WeightService {
 public:
  explicit WeightService(const ServiceSettings& settings,
                         ScaleStation::PortFactory makePort = nullptr);

  HttpResponse Handle(const HttpRequest& request);
  // The CORS headers of an answer to the request, for an origin on the list (none otherwise).
  void AddCorsHeaders(const HttpRequest& request, HttpResponse& response) const;

  // The largest body read; a longer one is refused unread.
  static constexpr size_t kMaxBody = 16 * 1024;
  // Between two events a comment goes out this often, so a client that left is noticed.
  static constexpr int kHeartbeatSeconds = 15;

  static HttpResponse Error(int status, const std::string& text);

 private:
  HttpResponse Route(const HttpRequest& request);
  HttpResponse Read(const HttpRequest& request);
  HttpResponse Events(const HttpRequest& request);
  HttpResponse Ports();
  // The station of the port the settings name, with the port pinned to its serial device; null,
  // with the answer to give, when the port is not on the allowed list, is no serial port, or no
  // station can be had.
  std::shared_ptr<ScaleStation> AllowedStation(cli::FormSettings& settings, HttpResponse& refusal);
  std::shared_ptr<ScaleStation> StationFor(const std::string& port);

  RequestGuard guard_;
  ScaleStation::PortFactory makePort_;
  std::mutex stationsMutex_;
  std::map<std::string, std::shared_ptr<ScaleStation>> stations_;
};

}  // namespace trv::service
