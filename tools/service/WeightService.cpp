#include "WeightService.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <nlohmann/json.hpp>

#include "FormSettingsJson.h"
#include "ReadingState.h"
#include "ScaleDetector.h"
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

// A scale found, with the control's property names, so that a page can read it at once.
json FoundScale(const detection::PortOutcome& outcome) {
  json others = json::array();
  for (const auto& other : outcome.alsoRead) {
    others.push_back(json{{"Mod_Bal", other.model}, {"modelo", other.name}});
  }
  return json{{"Porta", outcome.port},
              {"dispositivo", outcome.device},
              {"identidade", outcome.identity},
              {"Mod_Bal", outcome.reading.model},
              {"modelo", outcome.reading.name},
              {"Vel_Bal", outcome.line.baud},
              {"Bit_Bal", outcome.line.bits},
              {"Par_Bal", outcome.line.parity},
              {"Stp_Bal", outcome.line.stop},
              {"linha", outcome.line.Text()},
              {"pesoKg", Weight(outcome.reading.weight)},
              {"tambemLidaComo", others}};
}

}  // namespace

WeightService::WeightService(const ServiceSettings& settings, ScaleStation::PortFactory makePort,
                             ServiceLog* log, ScaleStation::PortLister listPorts)
    : guard_(settings),
      scales_(settings.scales, listPorts),
      makePort_(std::move(makePort)),
      listPorts_(std::move(listPorts)),
      log_(log),
      allowedPorts_(settings.allowedPorts) {}

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

HttpResponse WeightService::Refuse(const HttpRequest& request, const ScaleRefusal& refusal) {
  HttpResponse response = Refuse(request, refusal.status, refusal.text);
  if (!refusal.estado.empty()) {
    // A scale that is not there now is a reading that found no port, as the form says it.
    response.body = Dump(json{{"erro", refusal.text}, {"ok", false}, {"estado", refusal.estado}});
  }
  return response;
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
      {"GET", "/v1/balancas", [this] { return Scales(); }},
      {"GET", "/v1/saude", [this] { return Health(); }},
      {"GET", "/v1/versao",
       [] {
         return Json(200, json{{"versao", TRAVINEL_VERSION}});
       }},
      {"POST", "/v1/ler", [&] { return Read(request); }},
      {"GET", "/v1/eventos", [&] { return Events(request); }},
      {"GET", "/v1/detectar", [&] { return Detect(request); }},
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
  ChosenScale chosen;
  ScaleRefusal refused;
  if (!ScaleRequest::FromJson(request.body, scales_, chosen, refused)) {
    return Refuse(request, refused);
  }
  HttpResponse refusal;
  const std::shared_ptr<ScaleStation> station = AllowedStation(request, chosen, refusal);
  if (!station) return refusal;
  const FormSettings& settings = chosen.settings;
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
  ChosenScale chosen;
  ScaleRefusal refused;
  if (!ScaleRequest::FromQuery(request.query, scales_, chosen, refused)) {
    return Refuse(request, refused);
  }
  HttpResponse response;
  std::shared_ptr<ScaleStation> station = AllowedStation(request, chosen, response);
  if (!station) return response;
  const FormSettings settings = chosen.settings;
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
    // What the system calls the port, and a USB adapter's identity; null for what it lacks.
    const auto text = [](const std::string& value) { return value.empty() ? json() : json(value); };
    json entry{
        {"nome", port.name}, {"dispositivo", port.device}, {"descricao", text(port.description)}};
    if (!port.Identity().empty()) {
      entry.update(json{{"identidade", port.Identity()},
                        {"vid", port.vendorId},
                        {"pid", port.productId},
                        {"serie", text(port.serialNumber)}});
    }
    ports.push_back(entry);
  }
  return Json(200, ports);
}

// What IT named, for a page that offers the counter's scales: their names and settings, nothing
// of the rest of the configuration.
HttpResponse WeightService::Scales() {
  json scales = json::array();
  for (const auto& [name, settings] : scales_.All()) {
    json scale = config::FormSettingsJson::Write(settings);
    scale["nome"] = name;
    scales.push_back(scale);
  }
  return Json(200, scales);
}

HttpResponse WeightService::Detect(const HttpRequest& request) {
  // A search writes to every port: only a listed page, or the service's own, may start one.
  const std::string origin = request.Header("origin");
  const bool ownPage = origin.empty() && request.Header("sec-fetch-site") == "same-origin";
  if (!ownPage && (origin.empty() || !guard_.OriginAllowed(origin))) {
    return Refuse(request, 403,
                  "detectar: só uma página de origem permitida pode procurar balanças");
  }
  std::unique_lock<std::mutex> searching(detecting_, std::try_to_lock);
  if (!searching.owns_lock()) {
    HttpResponse busy =
        Error(409, "já há uma busca de balanças em andamento; tente de novo daqui a pouco");
    busy.headers.emplace_back("Retry-After",
                              std::to_string(detection::ScaleDetector::kBudgetMs / 1000));
    return busy;
  }
  detection::ScaleDetector::Request search;
  for (const std::string& port : allowedPorts_)
    search.ports.push_back(detection::ScaleDetector::PortNamed(port));
  {
    // The ports our own scales use are in use: a search would only disturb them.
    const std::lock_guard<std::mutex> lock(stationsMutex_);
    for (const auto& [device, station] : stations_) {
      if (!station->Idle()) search.devicesInUse.push_back(device);
    }
  }
  Record("detectar: busca de balanças iniciada");
  json found = json::array();
  for (const detection::PortOutcome& outcome : detection::ScaleDetector().Run(search)) {
    if (outcome.Found()) found.push_back(FoundScale(outcome));
  }
  return Json(200, found);
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
                                                            ChosenScale& chosen,
                                                            HttpResponse& refusal) {
  // A scale bound to a USB adapter: the adapter must be connected now, wherever it is.
  const std::string identity =
      IsPortIdentity(chosen.settings.portPath) ? chosen.settings.portPath : "";
  ScaleRefusal missing;
  if (!scales_.Locate(chosen, missing)) {
    refusal = Refuse(request, missing);
    return nullptr;
  }
  FormSettings& settings = chosen.settings;
  const std::string port = ScaleRequest::PortName(settings);
  // A named scale's port was configured by IT; a page's own port must be on the list.
  if (chosen.name.empty() && !guard_.PortAllowed(port)) {
    refusal = Refuse(request, 403, "Porta não permitida: " + port);
    return nullptr;
  }
  if (!identity.empty()) {
    // The station looks the adapter up itself before each enabling, and pins the port it finds:
    // the adapter may come back on another port.
    settings.portPath = identity;
  } else if (!ScaleRequest::PinSerialDevice(settings)) {
    // Only a serial device may be opened under the port's name (the form would take any other
    // name for a file to write).
    refusal = chosen.name.empty() ? Refuse(request, 400, port + " não é uma porta serial")
                                  : Refuse(request, {503,
                                                     "a porta da balança " + chosen.name + " (" +
                                                         port + ") não está disponível agora",
                                                     ReadingState::kPortUnavailable});
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
