#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HttpMessage.h"
#include "NamedScales.h"
#include "RequestGuard.h"
#include "ScaleStation.h"
#include "ServiceLog.h"
#include "ServiceSettings.h"
#include "control/FormSettings.h"

namespace trv::service {

// The local weight service's answers, independent of the HTTP library:
//   POST /v1/ler       one reading, as the control's LerPeso
//   GET  /v1/eventos   the form's statuses as Server-Sent Events while the page listens
//   GET  /v1/portas    the machine's serial ports
//   GET  /v1/balancas  the scales IT named, with their settings
//   GET  /v1/detectar  the scales found on the serial ports (listed pages only, one at a time)
//   GET  /v1/saude     for monitoring: the version, the time since the start, the ports in use
//   GET  /v1/versao    the version
//   GET  /  and  /travinel.js   the demonstration page and the client module
// Every request passes the RequestGuard first; JSON goes out in UTF-8. Refused requests and
// failed readings are recorded in the log, when there is one.
class WeightService {
 public:
  // makePort goes to every scale station (null: the system's ports); listPorts is where scales
  // bound to a USB adapter's identity are looked for, by requests and stations (null: the
  // machine's serial ports).
  explicit WeightService(const ServiceSettings& settings,
                         ScaleStation::PortFactory makePort = nullptr, ServiceLog* log = nullptr,
                         ScaleStation::PortLister listPorts = nullptr);

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
  HttpResponse Scales();
  HttpResponse Detect(const HttpRequest& request);
  HttpResponse Health();
  // A refused request, recorded before it is answered.
  HttpResponse Refuse(const HttpRequest& request, int status, const std::string& reason);
  HttpResponse Refuse(const HttpRequest& request, const ScaleRefusal& refusal);
  void Record(const std::string& line);
  // The station of the port the chosen settings name, with the port pinned to its serial device;
  // null, with the answer to give, when a page's own port is not on the allowed list, the port
  // is no serial port (a named scale's: not there now), or no station can be had.
  std::shared_ptr<ScaleStation> AllowedStation(const HttpRequest& request, ChosenScale& chosen,
                                               HttpResponse& refusal);
  std::shared_ptr<ScaleStation> StationFor(const std::string& port);

  RequestGuard guard_;
  NamedScales scales_;
  ScaleStation::PortFactory makePort_;
  ScaleStation::PortLister listPorts_;
  ServiceLog* log_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::mutex stationsMutex_;
  std::map<std::string, std::shared_ptr<ScaleStation>> stations_;
  // The ports pages may use, which are also the only ones a search goes through (none: all).
  std::vector<std::string> allowedPorts_;
  // Held while a search for scales runs: one at a time.
  std::mutex detecting_;
};

}  // namespace trv::service
