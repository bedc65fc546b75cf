#include "WeightService.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <nlohmann/json.hpp>

#include "ReadingState.h"
#include "ScaleRequest.h"
#include "ServiceAssets.h"
#include "serial/SerialPortList.h"

namespace trv::service {
namespace {

using nlohmann::json;

// More ports than a shop has; beyond it, stations no page uses are let go first.
constexpr size_t kMaxStations = 32;
// Events a slow page has not taken yet; older ones give way to newer.
constexpr size_t kMaxPendingEvents = 64;

std::string Dump(const json& value) {
  // Texts from the system (an error's description) may not be valid UTF-8: replaced, not thrown.
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A weight as the README shows it: 1234, not 1234.0 (fractions of a kilogram stay as they are).
json Weight(double value) {
  constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < kExactIntegers) {
    return json(static_cast<int64_t>(value));
  }
  return json(value);
}

HttpResponse Json(int status, const json& value) {
  HttpResponse response;
  response.status = status;
  response.body = Dump(value);
  return response;
}

HttpResponse Asset(const char* contentType, const char* body) {
  HttpResponse response;
  response.contentType = contentType;
  response.body = body;
  return response;
}

// The events of one listening page, handed from the station's thread to the page's.
class Mailbox {
 public:
  void Push(std::string event) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (events_.size() == kMaxPendingEvents) events_.pop_front();
      events_.push_back(std::move(event));
    }
    arrived_.notify_one();
  }
  // The next event, or nothing when none came within the time.
  bool Take(std::string& event, std::chrono::seconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, patience, [this] { return !events_.empty(); })) return false;
    event = std::move(events_.front());
    events_.pop_front();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::string> events_;
};

}  // namespace

WeightService::WeightService(const ServiceSettings& settings, ScaleStation::PortFactory makePort,
                             ServiceLog* log, ScaleStation::PortLister listPorts)
    : guard_(settings),
      makePort_(std::move(makePort)),
      listPorts_(std::move(listPorts)),
      log_(log) {}

void WeightService::Record(const std::string& line) {
  if (log_ != nullptr) log_->Write(line);
}

HttpResponse WeightService::Refuse(const HttpRequest& request, int status,
                                   const std::string& reason) {
  Record("recusado (" + std::to_string(status) + "): " + reason + "; origem " +
         ServiceLog::Quoted(request.Header("origin")) + ", host " +
         ServiceLog::Quoted(request.Header("host")) + ", " + request.method + " " +
         ServiceLog::Quoted(request.path));
  return Error(status, reason);
}

HttpResponse WeightService::Error(int status, const std::string& text) {
  return Json(status, json{{"erro", text}});
}

HttpResponse WeightService::Handle(const HttpRequest& request) {
  if (!guard_.HostAllowed(request.Header("host"))) {
    return Refuse(request, 403, "Host não permitido: " + request.Header("host"));
  }
  const std::string origin = request.Header("origin");
  if (!origin.empty() && !guard_.OriginAllowed(origin)) {
    return Refuse(request, 403, "Origem não permitida: " + origin);
  }
  // A page of another site that sent no Origin (a link, an image) is still a stranger.
  const std::string site = request.Header("sec-fetch-site");
  if (origin.empty() && !site.empty() && site != "same-origin" && site != "none") {
    return Refuse(request, 403, "Origem não permitida: pedido de outro site sem Origin");
  }
  const bool preflight = request.method == "OPTIONS";
  HttpResponse response = preflight ? HttpResponse{204, "", "", {}, nullptr} : Route(request);
  for (auto& header : guard_.CorsHeaders(origin, preflight)) response.headers.push_back(header);
  return response;
}

void WeightService::AddCorsHeaders(const HttpRequest& request, HttpResponse& response) const {
  const std::string origin = request.Header("origin");
  if (origin.empty() || !guard_.OriginAllowed(origin)) return;
  for (auto& header : guard_.CorsHeaders(origin, request.method == "OPTIONS")) {
    response.headers.push_back(header);
  }
}

HttpResponse WeightService::Route(const HttpRequest& request) {
  struct Route {
    const char* method;
    const char* path;
    std::function<HttpResponse()> answer;
  };
  const Route routes[] = {
      {"GET", "/", [] { return Asset("text/html; charset=utf-8", kIndexHtml); }},
      {"GET", "/travinel.js", [] { return Asset("text/javascript; charset=utf-8", kTravinelJs); }},
      {"GET", "/v1/portas", [this] { return Ports(); }},
      {"GET", "/v1/saude", [this] { return Health(); }},
      {"GET", "/v1/versao",
       [] {
         return Json(200, json{{"versao", TRAVINEL_VERSION}});
       }},
      {"POST", "/v1/ler", [&] { return Read(request); }},
      {"GET", "/v1/eventos", [&] { return Events(request); }},
  };
  for (const Route& route : routes) {
    if (request.path != route.path) continue;
    if (request.method == route.method) return route.answer();
    HttpResponse refused = Error(405, "método não permitido: " + request.method);
    refused.headers.emplace_back("Allow", route.method);
    return refused;
  }
  return Error(404, "não encontrado: " + request.path);
}

HttpResponse WeightService::Read(const HttpRequest& request) {
  FormSettings settings;
  std::string error;
  if (!ScaleRequest::FromJson(request.body, settings, error)) return Refuse(request, 400, error);
  HttpResponse refusal;
  const std::shared_ptr<ScaleStation> station = AllowedStation(request, settings, refusal);
  if (!station) return refusal;
  Reading reading;
  switch (station->Read(settings, request.clientGone, reading)) {
    case ScaleStation::ReadOutcome::kQueueFull: {
      HttpResponse busy = Error(503, "leituras demais esperando pela porta " +
                                         ScaleRequest::PortName(settings) + "; tente de novo");
      busy.headers.emplace_back("Retry-After", "2");
      return busy;
    }
    case ScaleStation::ReadOutcome::kClientGone:
      // Nobody reads this answer; it says what happened all the same.
      return Error(503, "leitura descartada: o cliente foi embora antes da vez dela");
    case ScaleStation::ReadOutcome::kRead:
      break;
  }
  if (reading.estado == ReadingState::kPortUnavailable ||
      reading.estado == ReadingState::kReadError || reading.estado == ReadingState::kNoAnswer ||
      reading.estado == ReadingState::kDisconnected) {
    Record("leitura sem peso na porta " + ServiceLog::Quoted(ScaleRequest::PortName(settings)) +
           ": " + reading.estado + ", " + ServiceLog::Quoted(reading.status));
  }
  return Json(200, json{{"PesoLido", Weight(reading.pesoLido)},
                        {"status", reading.status},
                        {"mensagem", reading.mensagem ? json(*reading.mensagem) : json(nullptr)},
                        {"ok", ReadingState::IsWeight(reading.estado)},
                        {"estado", reading.estado}});
}

HttpResponse WeightService::Events(const HttpRequest& request) {
  FormSettings settings;
  std::string error;
  if (!ScaleRequest::FromQuery(request.query, settings, error)) return Refuse(request, 400, error);
  HttpResponse response;
  std::shared_ptr<ScaleStation> station = AllowedStation(request, settings, response);
  if (!station) return response;
  response.contentType = "text/event-stream; charset=utf-8";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.stream = [station, settings](const StreamWriter& write, const ClientGone& gone) {
    auto mailbox = std::make_shared<Mailbox>();
    const int id = station->Listen(settings, [mailbox](const StatusEvent& event) {
      mailbox->Push(Dump(json{{"status", event.status},
                              {"PesoLido", Weight(event.pesoLido)},
                              {"ok", ReadingState::IsWeight(event.estado)},
                              {"estado", event.estado}}));
    });
    std::string event;
    int quietSeconds = 0;
    for (;;) {
      if (mailbox->Take(event, std::chrono::seconds(1))) {
        quietSeconds = 0;
        if (!write("data: " + event + "\n\n")) break;
        continue;
      }
      // Nothing to say: a page that left is noticed within a second, and a comment now and
      // then keeps proxies and the browser from calling the stream dead.
      if (gone()) break;
      if (++quietSeconds >= kHeartbeatSeconds) {
        quietSeconds = 0;
        if (!write(": ainda aqui\n\n")) break;
      }
    }
    station->Leave(id);
  };
  return response;
}

HttpResponse WeightService::Ports() {
  json ports = json::array();
  for (const SerialPortEntry& port : ListSerialPorts()) {
    ports.push_back(json{{"nome", port.name}, {"dispositivo", port.device}});
  }
  return Json(200, ports);
}

HttpResponse WeightService::Health() {
  json ports = json::array();
  {
    const std::lock_guard<std::mutex> lock(stationsMutex_);
    for (const auto& [port, station] : stations_) {
      if (!station->Idle()) ports.push_back(port);
    }
  }
  const auto uptime =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_);
  return Json(200, json{{"versao", TRAVINEL_VERSION},
                        {"ativoHaSegundos", uptime.count()},
                        {"portasEmUso", ports}});
}

std::shared_ptr<ScaleStation> WeightService::AllowedStation(const HttpRequest& request,
                                                            FormSettings& settings,
                                                            HttpResponse& refusal) {
  const std::string port = ScaleRequest::PortName(settings);
  if (!guard_.PortAllowed(port)) {
    refusal = Refuse(request, 403, "Porta não permitida: " + port);
    return nullptr;
  }
  // A page names a port; only a serial device may be opened under that name (the form would
  // take any other name for a file to write). A USB adapter's identity is looked up, and its
  // port pinned, by the station before each enabling: the adapter may come back on another port.
  if (!IsPortIdentity(port) && !ScaleRequest::PinSerialDevice(settings)) {
    refusal = Refuse(request, 400, port + " não é uma porta serial");
    return nullptr;
  }
  std::shared_ptr<ScaleStation> station = StationFor(ScaleRequest::PortName(settings));
  if (!station) refusal = Refuse(request, 503, "portas demais em uso; tente de novo");
  return station;
}

std::shared_ptr<ScaleStation> WeightService::StationFor(const std::string& port) {
  const std::lock_guard<std::mutex> lock(stationsMutex_);
  const auto found = stations_.find(port);
  if (found != stations_.end()) return found->second;
  if (stations_.size() >= kMaxStations) {
    // A station handed to a request that has not used it yet is idle, but not free: only one
    // that no request holds any more (the map's is the only reference, exact under the lock, as
    // nobody gets a new one without it) is let go.
    std::erase_if(stations_, [](const auto& entry) {
      return entry.second.use_count() == 1 && entry.second->Idle();
    });
  }
  if (stations_.size() >= kMaxStations) return nullptr;
  auto station = std::make_shared<ScaleStation>(makePort_, listPorts_);
  stations_.emplace(port, station);
  return station;
}

}  // namespace trv::service
