#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "HttpMessage.h"
#include "LocalRequest.h"
#include "RequestGuard.h"
#include "ScaleRequest.h"
#include "ScaleStation.h"
#include "ScriptedScale.h"
#include "StationEvents.h"
#include "WeightService.h"
#include "serial/SerialPortList.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"
#ifndef _WIN32
#include "testing/Pseudoterminal.h"
#endif

namespace trv::service {
namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A JSON string of the text (names with quotes or backslashes included).
std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string PercentEncoded(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (const unsigned char c : text) {
    encoded += '%';
    encoded += kDigits[c >> 4];
    encoded += kDigits[c & 15];
  }
  return encoded;
}

ServiceSettings ShopSettings() {
  ServiceSettings settings;
  settings.origins = {"https://pdv.loja.exemplo", "http://caixa.local:8080/",
                      "https://*.filiais.exemplo"};
  settings.allowedPorts = {"com1", "/dev/ttyUSB0"};
  return settings;
}

TEST(RequestGuard, LetsInOnlyTheLoopbackHostAndTheListedOrigins) {
  const RequestGuard guard(ShopSettings());
  struct Case {
    const char* host;
    bool allowed;
  };
  for (const Case& c :
       {Case{"127.0.0.1:8470", true}, Case{"LOCALHOST:8470", true}, Case{"[::1]:8470", true},
        Case{"127.0.0.1:8471", false}, Case{"127.0.0.1", false},
        Case{"balanca.atacante.exemplo:8470", false}, Case{"", false}}) {
    EXPECT_EQ(guard.HostAllowed(c.host), c.allowed) << c.host;
  }
  struct OriginCase {
    const char* origin;
    bool allowed;
  };
  for (const OriginCase& c :
       {OriginCase{"http://127.0.0.1:8470", true}, OriginCase{"http://localhost:8470", true},
        OriginCase{"https://pdv.loja.exemplo", true},
        OriginCase{"https://PDV.loja.exemplo:443", true},
        OriginCase{"http://caixa.local:8080", true},
        OriginCase{"http://pdv.loja.exemplo", false},           // scheme
        OriginCase{"https://pdv.loja.exemplo:8443", false},     // port
        OriginCase{"https://pdv.loja.exemplo.evil.io", false},  // look-alike
        OriginCase{"https://evil.io/https://pdv.loja.exemplo", false},
        OriginCase{"https://user@pdv.loja.exemplo", false}, OriginCase{"null", false},
        OriginCase{"http://127.0.0.1:9999", false},
        OriginCase{"https://loja12.filiais.exemplo", true},  // a store below the shop's domain
        OriginCase{"https://filiais.exemplo", false},        // not the domain itself
        OriginCase{"https://loja12.filiais.exemplo.evil.io", false}}) {
    EXPECT_EQ(guard.OriginAllowed(c.origin), c.allowed) << c.origin;
  }
  EXPECT_TRUE(guard.PortAllowed("1"));
  EXPECT_TRUE(guard.PortAllowed("COM01"));
  EXPECT_TRUE(guard.PortAllowed("/dev/ttyUSB0"));
  EXPECT_FALSE(guard.PortAllowed("2"));
  EXPECT_FALSE(guard.PortAllowed("/dev/ttyUSB1"));
}

TEST(ScaleRequest, ReadsTheControlsPropertiesAndRefusesAnythingElse) {
  struct Case {
    const char* body;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {R"({"Porta": 3, "Mod_Bal": 1, "Uni_Bal": 1, "Dec_Bal": 1})", ""},
      {R"({"Porta": "/dev/ttyUSB0", "Mod_Bal": 7, "Vel_Bal": 4800, "Par_Bal": 2})", ""},
      {R"({"Porta": "com2", "Mod_Bal": 2})", ""},
      {R"({"Porta": 1, "Mod_Bal": 1)", "o corpo não é JSON válido"},
      {R"([1, 2])", "o corpo deve ser um objeto JSON"},
      {R"({"Porta": 1, "Mod_Bal": 1, "Usr_Bal": 1})", "campo desconhecido: Usr_Bal"},
      {R"({"Porta": 1, "Mod_Bal": "1"})", "Mod_Bal deve ser um número inteiro de 1 a 7"},
      {R"({"Porta": 1, "Mod_Bal": 8})", "Mod_Bal deve ser um número inteiro de 1 a 7"},
      {R"({"Porta": 1, "Mod_Bal": 1.5})", "Mod_Bal deve ser um número inteiro de 1 a 7"},
      {R"({"Porta": 1, "Mod_Bal": 1, "Bit_Bal": 9})",
       "Bit_Bal deve ser um número inteiro de 5 a 8"},
      {R"({"Porta": 1, "Mod_Bal": 1, "Vel_Bal": 18446744073709551615})",
       "Vel_Bal deve ser um número inteiro de 50 a 4000000"},
      {R"({"Porta": true, "Mod_Bal": 1})", "Porta deve ser"},
      {R"({"Porta": 256, "Mod_Bal": 1})", "Porta deve ser"},
      {R"({"Mod_Bal": 1})", "falta Porta"},
      {R"({"Porta": 1})", "falta Mod_Bal (1 a 7)"},
  };
  const NamedScales none({});
  for (const Case& c : cases) {
    ChosenScale chosen;
    ScaleRefusal refusal;
    const bool accepted = ScaleRequest::FromJson(c.body, none, chosen, refusal);
    EXPECT_EQ(accepted, *c.error == '\0') << c.body;
    EXPECT_EQ(refusal.text.rfind(c.error, 0), 0u) << c.body << " -> " << refusal.text;
  }
  ChosenScale chosen;
  ScaleRefusal refusal;
  ASSERT_TRUE(
      ScaleRequest::FromJson(R"({"Porta": "/dev/ttyUSB0", "Mod_Bal": 7})", none, chosen, refusal));
  EXPECT_EQ(chosen.settings.portPath, "/dev/ttyUSB0");
  EXPECT_EQ(chosen.settings.vel, 9600);  // the control's defaults for what is left out
  EXPECT_EQ(chosen.settings.bits, 8);
  EXPECT_TRUE(chosen.name.empty());
}

FormSettings ScaleOn(const std::string& port, int model) {
  FormSettings settings;
  settings.portPath = port;
  settings.modelo = model;
  settings.vel = 4800;
  return settings;
}

// A request names a configured scale, or gives its own port; a name carries its port, and the
// page's other properties override the scale's.
TEST(ScaleRequest, NamesAConfiguredScaleInsteadOfAPort) {
  const NamedScales two(
      {{"caixa", ScaleOn("/dev/ttyUSB0", 2)}, {"balcao", ScaleOn("/dev/ttyS0", 1)}});
  const NamedScales one({{"caixa", ScaleOn("/dev/ttyUSB0", 2)}});
  struct Case {
    const NamedScales* scales;
    const char* body;
    const char* query;
    int status;  // 0: accepted
    const char* name;
    int modelo;
    int vel;
  };
  const Case cases[] = {
      {&two, R"({"balanca": "caixa"})", "balanca=caixa", 0, "caixa", 2, 4800},
      {&two, R"({"balanca": "balcao", "Vel_Bal": 9600, "Mod_Bal": 3})",
       "balanca=balcao&Vel_Bal=9600&Mod_Bal=3", 0, "balcao", 3, 9600},
      {&two, R"({"balanca": "caixa", "Porta": 1})", "balanca=caixa&Porta=1", 400, "", 0, 0},
      {&two, R"({"balanca": "caixa", "Mod_Bal": 9})", "balanca=caixa&Mod_Bal=9", 400, "", 0, 0},
      {&two, R"({"balanca": "caixa", "Usr_Bal": 1})", "balanca=caixa&Usr_Bal=1", 400, "", 0, 0},
      {&two, R"({"balanca": "cozinha"})", "balanca=cozinha", 404, "", 0, 0},
      {&two, R"({"balanca": ""})", "balanca=", 404, "", 0, 0},
      {&two, R"({"balanca": "CAIXA"})", "balanca=CAIXA", 404, "", 0, 0},
      {&two, R"({"Mod_Bal": 1})", "Mod_Bal=1", 400, "", 0, 0},  // two scales: no default
      {&one, R"({})", "", 0, "caixa", 2, 4800},                 // the only scale
      {&one, R"({"Uni_Bal": 1})", "Uni_Bal=1", 0, "caixa", 2, 4800},
      {&one, R"({"Porta": 3, "Mod_Bal": 1})", "Porta=3&Mod_Bal=1", 0, "", 1, 9600},
  };
  for (const Case& c : cases) {
    ChosenScale fromBody;
    ScaleRefusal refusal;
    EXPECT_EQ(ScaleRequest::FromJson(c.body, *c.scales, fromBody, refusal), c.status == 0)
        << c.body;
    EXPECT_EQ(c.status == 0 ? 0 : refusal.status, c.status) << c.body << ": " << refusal.text;
    HttpRequest request;
    ASSERT_TRUE(ParseTarget(std::string("/v1/eventos?") + c.query, request));
    ChosenScale fromQuery;
    EXPECT_EQ(ScaleRequest::FromQuery(request.query, *c.scales, fromQuery, refusal), c.status == 0)
        << c.query;
    if (c.status != 0) continue;
    for (const ChosenScale* chosen : {&fromBody, &fromQuery}) {
      EXPECT_EQ(chosen->name, c.name) << c.body;
      EXPECT_EQ(chosen->settings.modelo, c.modelo) << c.body;
      EXPECT_EQ(chosen->settings.vel, c.vel) << c.body;
    }
  }
  ChosenScale chosen;
  ScaleRefusal refusal;
  EXPECT_FALSE(ScaleRequest::FromJson(R"({"balanca": 1})", two, chosen, refusal));
  EXPECT_EQ(refusal.status, 400);
  EXPECT_FALSE(ScaleRequest::FromJson(R"({"balanca": "caixa", "Porta": "/dev/ttyS1"})", two, chosen,
                                      refusal));
  EXPECT_EQ(refusal.text, "uma balança com nome já tem a sua porta: tire Porta do pedido");
  EXPECT_FALSE(ScaleRequest::FromJson(R"({"Mod_Bal": 1})", two, chosen, refusal));
  EXPECT_EQ(refusal.text.rfind("falta Porta, ou balanca", 0), 0u) << refusal.text;
}

// The name of an unknown scale comes back shortened and without control characters, as the log
// keeps it.
TEST(ScaleRequest, EchoesAnUnknownNameHarmlessly) {
  const NamedScales scales({{"caixa", ScaleOn("/dev/ttyUSB0", 2)}});
  for (const std::string& name : {std::string("caixa\r\nSet-Cookie: x"), std::string(5000, 'a'),
                                  std::string("../../etc/passwd"), std::string("balança-ção"),
                                  std::string("caixa\0\x1b[2J", 10)}) {
    ChosenScale chosen;
    ScaleRefusal refusal;
    const std::string body = nlohmann::json{{"balanca", name}}.dump();
    ASSERT_FALSE(ScaleRequest::FromJson(body, scales, chosen, refusal)) << name;
    EXPECT_EQ(refusal.status, 404);
    EXPECT_EQ(refusal.text.rfind("balança desconhecida: ", 0), 0u) << refusal.text;
    EXPECT_LT(refusal.text.size(), 260u);
    for (const char c : refusal.text) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << name;
  }
}

TEST(WeightService, RefusesStrangersBeforeAnythingElse) {
  WeightService service(ShopSettings());
  auto request = [](const char* method, const char* target, const char* host, const char* origin) {
    HttpRequest r;
    r.method = method;
    EXPECT_TRUE(ParseTarget(target, r));
    r.headers.set("host", host);
    if (*origin != '\0') r.headers.set("origin", origin);
    return r;
  };
  struct Case {
    HttpRequest request;
    int status;
  };
  const Case cases[] = {
      {request("GET", "/", "127.0.0.1:8470", ""), 200},
      {request("GET", "/", "rebind.atacante.exemplo:8470", ""), 403},
      {request("POST", "/v1/ler", "127.0.0.1:8470", "https://evil.io"), 403},
      {request("OPTIONS", "/v1/ler", "127.0.0.1:8470", "https://evil.io"), 403},
      {request("OPTIONS", "/v1/ler", "127.0.0.1:8470", "https://pdv.loja.exemplo"), 204},
      {request("POST", "/v1/ler", "127.0.0.1:8470", "https://pdv.loja.exemplo"), 400},  // no body
      {request("GET", "/v1/ler", "127.0.0.1:8470", ""), 405},
      {request("GET", "/v1/eventos?Porta=2&Mod_Bal=1", "127.0.0.1:8470", ""), 403},  // not listed
      {request("GET", "/nada", "127.0.0.1:8470", ""), 404},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(service.Handle(c.request).status, c.status)
        << c.request.method << " " << c.request.path;
  }
  const HttpResponse preflight = service.Handle(cases[4].request);
  bool privateNetwork = false;
  for (const auto& [name, value] : preflight.headers) {
    privateNetwork = privateNetwork || (name == "Access-Control-Allow-Private-Network");
  }
  EXPECT_TRUE(privateNetwork);
}

// What monitoring asks, and what the log keeps of strangers: one line each, with what they sent
// made harmless.
TEST(WeightService, AnswersMonitoringAndLogsEveryRefusal) {
  const fs::path folder = fs::temp_directory_path() / "travinel-log-do-servico";
  fs::remove_all(folder);
  {
    ServiceLog log(folder);
    WeightService service(ShopSettings(), nullptr, &log);
    const HttpResponse health = service.Handle(LocalRequest("GET", "/v1/saude"));
    EXPECT_EQ(health.status, 200);
    const auto answer = nlohmann::json::parse(health.body);
    EXPECT_EQ(answer["versao"], TRAVINEL_VERSION);
    EXPECT_GE(answer["ativoHaSegundos"].get<int>(), 0);
    EXPECT_TRUE(answer["portasEmUso"].is_array());
    EXPECT_EQ(nlohmann::json::parse(service.Handle(LocalRequest("GET", "/v1/versao")).body),
              nlohmann::json({{"versao", TRAVINEL_VERSION}}));

    HttpRequest stranger = LocalRequest("POST", "/v1/ler", "{}");
    stranger.headers.set("origin", "https://evil.io\r\n2026-01-01T00:00:00Z iniciado");
    EXPECT_EQ(service.Handle(stranger).status, 403);
    HttpRequest rebinding = LocalRequest("GET", "/v1/saude");
    rebinding.headers.set("host", "rebind.atacante.exemplo:8470");
    EXPECT_EQ(service.Handle(rebinding).status, 403);
    EXPECT_EQ(service.Handle(LocalRequest("GET", "/v1/eventos?Porta=2&Mod_Bal=1")).status, 403);
  }
  const std::string text = FileText(folder / "servir.log");
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << text;
  EXPECT_NE(lines[0].find("recusado (403): Origem não permitida"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("origem \"https://evil.io  2026-01-01T00:00:00Z iniciado\""),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("Host não permitido"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("host \"rebind.atacante.exemplo:8470\""), std::string::npos);
  EXPECT_NE(lines[2].find("Porta não permitida: 2"), std::string::npos) << lines[2];
  fs::remove_all(folder);
}

// The machine's ports, each with its description and, for a USB adapter, its identity.
TEST(WeightService, ListsThePortsWithTheirIdentity) {
  WeightService service(ShopSettings());
  const HttpResponse answer = service.Handle(LocalRequest("GET", "/v1/portas"));
  ASSERT_EQ(answer.status, 200);
  const auto ports = nlohmann::json::parse(answer.body);
  ASSERT_TRUE(ports.is_array());
  EXPECT_EQ(ports.size(), ListSerialPorts().size());
  for (const auto& port : ports) {
    EXPECT_TRUE(port["nome"].is_string()) << port;
    EXPECT_TRUE(port["dispositivo"].is_string()) << port;
    EXPECT_TRUE(port["descricao"].is_string() || port["descricao"].is_null()) << port;
    if (!port.contains("identidade")) {
      EXPECT_FALSE(port.contains("vid") || port.contains("pid") || port.contains("serie")) << port;
      continue;
    }
    const std::string serial =
        port["serie"].is_null() ? "" : ":" + port["serie"].get<std::string>();
    EXPECT_EQ(port["identidade"], "usb:" + port["vid"].get<std::string>() + ":" +
                                      port["pid"].get<std::string>() + serial)
        << port;
  }
}

// A page names the port; whatever it names that is not a serial device is refused before
// anything is opened, created, truncated or deleted under that name.
TEST(WeightService, OpensSerialDevicesOnly) {
  const fs::path folder = fs::temp_directory_path() / "travinel-portas-de-teste";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path notes = folder / "notas.txt";
  std::ofstream(notes) << "vendas do dia";
  std::vector<std::string> names = {notes.string(), (folder / "novo").string(),
                                    (folder / "novo.txt").string(), folder.string(), "0"};
#ifdef _WIN32
  names.insert(names.end(), {"\\\\.\\C:", "COM1.txt", "COM0", "NUL"});
#else
  names.insert(names.end(), {"/dev/null", "/dev/zero", "/dev/tty", "/dev/ptmx", "/dev/tty1",
                             "/dev/pts/../../" + notes.string()});
  fs::create_symlink(notes, folder / "balanca");
  names.push_back((folder / "balanca").string());
#endif
  WeightService service{ServiceSettings()};
  for (const std::string& name : names) {
    const HttpResponse read = service.Handle(
        LocalRequest("POST", "/v1/ler", "{\"Porta\": " + JsonText(name) + ", \"Mod_Bal\": 1}"));
    EXPECT_EQ(read.status, 400) << name;
    EXPECT_NE(read.body.find("não é uma porta serial"), std::string::npos) << read.body;
    const HttpResponse events =
        service.Handle(LocalRequest("GET", "/v1/eventos?Mod_Bal=1&Porta=" + PercentEncoded(name)));
    EXPECT_EQ(events.status, 400) << name;
    EXPECT_FALSE(events.stream) << name;
  }
  EXPECT_EQ(FileText(notes), "vendas do dia");
  EXPECT_FALSE(fs::exists(folder / "novo"));
  EXPECT_FALSE(fs::exists(folder / "novo.txt"));
  fs::remove_all(folder);
}

#ifndef _WIN32
TEST(WeightService, TakesAPseudoterminalForASerialPortByItsDevice) {
  const fs::path link = fs::temp_directory_path() / "travinel-balanca-pty";
  tools::Pseudoterminal pty(link.string());
  ASSERT_TRUE(pty.Open()) << pty.Error();
  std::string device;
  EXPECT_TRUE(ResolveSerialDevice(link.string(), device));
  EXPECT_EQ(device, pty.SlavePath());
}
#endif

// A station over a scripted Filizola scale of 1234 g whose answers can be held back, so that
// readings queue up behind one that waits.
class ScaleStationTest : public ::testing::Test {
 protected:
  ScaleStationTest() {
    settings_.porta = 3;
    settings_.modelo = 1;
  }
  ~ScaleStationTest() override { scale_.Release(); }

  ScaleStation::PortFactory Factory() { return scale_.Factory(); }
  void Hold() { scale_.Hold(); }
  void Release() { scale_.Release(); }
  bool RequestsReach(int count) { return scale_.RequestsReach(count); }
  int Requests() { return scale_.Requests(); }

  ScriptedScale scale_;
  FormSettings settings_;
};

TEST_F(ScaleStationTest, AReadingWhoseClientHasGoneIsDroppedBeforeItStarts) {
  ScaleStation station(Factory());
  Reading reading;
  EXPECT_EQ(station.Read(
                settings_, [] { return true; }, reading),
            ScaleStation::ReadOutcome::kClientGone);
  EXPECT_EQ(Requests(), 0);
  EXPECT_EQ(station.Read(
                settings_, [] { return false; }, reading),
            ScaleStation::ReadOutcome::kRead);
  EXPECT_EQ(reading.pesoLido, 1234);
  EXPECT_GT(Requests(), 0);
}

TEST_F(ScaleStationTest, ReadingsWaitInABoundedQueueAndThoseAbandonedThereNeverRun) {
  ScaleStation station(Factory());
  Reading first;
  ASSERT_EQ(station.Read(settings_, nullptr, first), ScaleStation::ReadOutcome::kRead);
  const int requestsPerReading = Requests();
  Hold();
  std::thread holding([&] {
    Reading reading;
    station.Read(settings_, nullptr, reading);
  });
  ASSERT_TRUE(RequestsReach(requestsPerReading + 1));
  // Eight wait behind it; the odd ones' clients leave while they wait.
  std::atomic<bool> oddOnesLeft{false};
  std::vector<std::thread> waiting;
  std::vector<ScaleStation::ReadOutcome> outcomes(ScaleStation::kMaxWaitingReadings);
  for (int i = 0; i < ScaleStation::kMaxWaitingReadings; ++i) {
    waiting.emplace_back([&, i] {
      Reading reading;
      outcomes[i] = station.Read(
          settings_, [&, i] { return i % 2 == 1 && oddOnesLeft; }, reading);
    });
  }
  for (int i = 0; i < 500 && station.WaitingReadings() < ScaleStation::kMaxWaitingReadings; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(station.WaitingReadings(), ScaleStation::kMaxWaitingReadings);
  Reading refused;
  EXPECT_EQ(station.Read(settings_, nullptr, refused), ScaleStation::ReadOutcome::kQueueFull);
  // Once clients of waiting readings have gone, a newcomer takes their place.
  oddOnesLeft = true;
  ScaleStation::ReadOutcome newcomer = ScaleStation::ReadOutcome::kQueueFull;
  std::thread late([&] {
    Reading reading;
    newcomer = station.Read(settings_, nullptr, reading);
  });
  for (int i = 0; i < 500 && station.WaitingReadings() != 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(station.WaitingReadings(), 5);
  Release();
  holding.join();
  late.join();
  EXPECT_EQ(newcomer, ScaleStation::ReadOutcome::kRead);
  for (std::thread& thread : waiting) thread.join();
  for (int i = 0; i < ScaleStation::kMaxWaitingReadings; ++i) {
    EXPECT_EQ(outcomes[i], i % 2 == 1 ? ScaleStation::ReadOutcome::kClientGone
                                      : ScaleStation::ReadOutcome::kRead)
        << i;
  }
  // The first, the held one, the four whose clients stayed and the newcomer reached the scale;
  // no other did.
  EXPECT_EQ(Requests(), requestsPerReading * (3 + ScaleStation::kMaxWaitingReadings / 2));
}

// A scale whose weight changes, whose line breaks (a request that cannot go out) and comes
// back: each event carries the weight its status names, and the stream recovers by itself.
TEST(ScaleStationEvents, CarryTheirOwnWeightAndRecoverAfterAnError) {
  platform::ManualClock clock(10000);
  std::atomic<int> grams{1234};
  std::atomic<bool> broken{false};
  ScaleStation station([&] {
    auto port = std::make_unique<CommPortFake>(clock);
    port->SetResponder([&, fake = port.get()](const Bytes&) {
      if (broken) throw std::runtime_error("a linha caiu");
      const std::string field = std::to_string(1000000 + grams).substr(1);
      fake->ArriveAfter(0, "\x02" + field + "\x03");
    });
    return port;
  });
  FormSettings settings;
  settings.porta = 3;
  settings.modelo = 1;
  StationEvents log;
  const int id = station.Listen(settings, log.Listener());
  const std::chrono::seconds patience(8);
  StatusEvent event;
  ASSERT_TRUE(log.Next("Peso Aferido: 1234 gramas", event, patience));
  EXPECT_EQ(event.pesoLido, 1234);
  EXPECT_EQ(event.estado, "peso");
  grams = 777;
  ASSERT_TRUE(log.Next("Peso Aferido: ", event, patience));
  EXPECT_EQ(event.status, "Peso Aferido: 777 gramas");
  EXPECT_EQ(event.pesoLido, 777);
  broken = true;
  ASSERT_TRUE(log.Next("Erro na Leitura do peso", event, patience));
  EXPECT_EQ(event.estado, "erro_leitura");
  ASSERT_TRUE(log.Next("Balança Desativada", event, patience));
  EXPECT_EQ(event.estado, "desativada");
  ASSERT_TRUE(log.Next("Balança Desativada; nova tentativa em 1 s", event, patience));
  EXPECT_EQ(event.estado, "reativando");
  // The port opens again but the scale still does not answer: the next wait is longer.
  ASSERT_TRUE(log.Next("Balança Pronta", event, patience));
  EXPECT_EQ(event.estado, "pronta");
  ASSERT_TRUE(log.Next("Balança Desativada; nova tentativa em 2 s", event, patience));
  grams = 2500;
  broken = false;
  ASSERT_TRUE(log.Next("Balança Pronta", event, patience));
  ASSERT_TRUE(log.Next("Peso Aferido: 2500 gramas", event, patience));
  EXPECT_EQ(event.pesoLido, 2500);
  station.Leave(id);
}

#ifndef _WIN32
// Every answer says in "ok" and "estado" what the reading gave, beside the form's own PesoLido
// (a whole number prints without a fraction), status and message.
TEST(WeightService, AnswersSayWhatTheReadingGave) {
  const fs::path link = fs::temp_directory_path() / "travinel-balanca-estados";
  tools::Pseudoterminal pty(link.string());
  ASSERT_TRUE(pty.Open()) << pty.Error();
  struct Case {
    const char* field;  // the Filizola scale's answer; empty: none
    bool portFails;
    bool requestFails;
    const char* answer;
  };
  const Case cases[] = {
      {"001234", false, false,
       R"({"PesoLido":1234,"estado":"peso","mensagem":null,"ok":true,"status":"Peso Aferido: 1234 gramas"})"},
      {"000000", false, false, R"("PesoLido":0,"estado":"vazia","mensagem":null,"ok":false)"},
      {"IIIIII", false, false,
       R"("PesoLido":-1000,"estado":"instavel","mensagem":null,"ok":false)"},
      {"NNNNNN", false, false,
       R"("PesoLido":-2000,"estado":"negativo","mensagem":null,"ok":false)"},
      {"SSSSSS", false, false,
       R"("PesoLido":-10000,"estado":"sobrecarga","mensagem":null,"ok":false)"},
      {"", false, false,
       R"({"PesoLido":-9000,"estado":"sem_resposta","mensagem":null,"ok":false,"status":"Balança Pronta"})"},
      {"001234", true, false, R"("PesoLido":0,"estado":"porta_indisponivel","mensagem":"Erro na )"},
      {"001234", false, true, R"("estado":"erro_leitura","mensagem":null,"ok":false)"},
  };
  for (const Case& c : cases) {
    // The scale's time-outs and pauses pass on the scripted clock, not the wall's (the station's
    // thread starts after this, and has ended before it is undone).
    platform::ManualClock clock(10000);
    const platform::ScopedClock scopedClock(clock);
    WeightService service(ServiceSettings(), [&clock, &c, &pty] {
      auto port = std::make_unique<CommPortFake>(clock);
      if (c.portFails) port->SetOpenError(pty.SlavePath(), 16);
      if (c.requestFails) port->Fail(CommPortFake::Call::Write, 5);
      port->SetResponder([fake = port.get(), &c](const Bytes&) {
        if (*c.field != '\0') fake->ArriveAfter(0, "\x02" + std::string(c.field) + "\x03");
      });
      return port;
    });
    const HttpResponse answer = service.Handle(LocalRequest(
        "POST", "/v1/ler", "{\"Porta\": " + JsonText(link.string()) + ", \"Mod_Bal\": 1}"));
    EXPECT_EQ(answer.status, 200) << c.field;
    EXPECT_NE(answer.body.find(c.answer), std::string::npos) << c.answer << "\n" << answer.body;
  }
}

// The service over named scales: a Filizola scale of 1234 g on a pseudo-terminal (a serial
// device, as the service requires), read through a scripted port that records where it was
// opened.
class NamedScaleServiceTest : public ::testing::Test {
 protected:
  NamedScaleServiceTest() : pty_(link_.string()) {}

  void SetUp() override { ASSERT_TRUE(pty_.Open()) << pty_.Error(); }

  ScaleStation::PortFactory Factory() {
    return [this] {
      auto port = std::make_unique<CommPortFake>(clock_);
      port->SetResponder([this, fake = port.get()](const Bytes&) {
        {
          const std::lock_guard<std::mutex> lock(mutex_);
          opened_ = fake->OpenedPath();
        }
        fake->ArriveAfter(0,
                          "\x02"
                          "001234"
                          "\x03");
      });
      return port;
    };
  }

  std::string Opened() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
  }

  // A USB adapter's entry in the port listing, on the pseudo-terminal.
  SerialPortEntry Adapter(const std::string& serial) const {
    return {link_.string(), pty_.SlavePath(), "FT232R USB UART", "0403", "6001", serial};
  }

  ServiceSettings Settings(std::map<std::string, FormSettings> scales) const {
    ServiceSettings settings;
    settings.allowedPorts = {"1"};  // the scales' ports are not on the pages' list
    settings.scales = std::move(scales);
    return settings;
  }

  const fs::path link_ = fs::temp_directory_path() / "travinel-balanca-nomeada";
  tools::Pseudoterminal pty_;
  platform::ManualClock clock_{10000};
  const platform::ScopedClock scopedClock_{clock_};
  std::mutex mutex_;
  std::string opened_;
};

TEST_F(NamedScaleServiceTest, ReadsAScaleByItsNameOnAPortPagesMayNotName) {
  WeightService service(Settings({{"caixa", ScaleOn(link_.string(), 1)}}), Factory());
  for (const char* body : {R"({"balanca": "caixa"})", R"({})"}) {
    const HttpResponse answer = service.Handle(LocalRequest("POST", "/v1/ler", body));
    EXPECT_EQ(answer.status, 200) << body << ": " << answer.body;
    EXPECT_NE(answer.body.find(R"("PesoLido":1234)"), std::string::npos) << answer.body;
    EXPECT_EQ(Opened(), pty_.SlavePath());
  }
  const HttpResponse events = service.Handle(LocalRequest("GET", "/v1/eventos?balanca=caixa"));
  EXPECT_EQ(events.status, 200) << events.body;
  EXPECT_TRUE(events.stream);
  // The same port named by a page is still refused: it is not on the pages' list.
  const HttpResponse own = service.Handle(LocalRequest(
      "POST", "/v1/ler", "{\"Porta\": " + JsonText(link_.string()) + ", \"Mod_Bal\": 1}"));
  EXPECT_EQ(own.status, 403) << own.body;
  const HttpResponse both = service.Handle(
      LocalRequest("POST", "/v1/ler", R"({"balanca": "caixa", "Porta": 1, "Mod_Bal": 1})"));
  EXPECT_EQ(both.status, 400) << both.body;
  const HttpResponse unknown =
      service.Handle(LocalRequest("GET", "/v1/eventos?balanca=..%2F..%2Fetc%0A"));
  EXPECT_EQ(unknown.status, 404) << unknown.body;
  EXPECT_FALSE(unknown.stream);
  EXPECT_EQ(nlohmann::json::parse(unknown.body)["erro"], "balança desconhecida: \"../../etc \"");
}

TEST_F(NamedScaleServiceTest, FindsAnAdapterByItsIdentityAtEachRequest) {
  std::vector<SerialPortEntry> listing;
  int listed = 0;
  WeightService service(Settings({{"caixa", ScaleOn("usb:0403:6001:A50285BI", 1)}}), Factory(),
                        nullptr, [&] {
                          ++listed;
                          return listing;
                        });
  struct Case {
    std::vector<SerialPortEntry> listing;
    int status;
    const char* answer;
  };
  const Case cases[] = {
      {{},
       503,
       R"({"erro":"o adaptador da balança caixa (usb:0403:6001:A50285BI) não está conectado","estado":"porta_indisponivel","ok":false})"},
      {{Adapter("OUTRO")}, 503, R"("estado":"porta_indisponivel")"},
      {{Adapter("A50285BI")}, 200, R"("PesoLido":1234)"},
      // Two adapters with the same identity cannot be told apart; one under two names can.
      {{Adapter("A50285BI"),
        {"/dev/ttyUSB9", "/dev/ttyUSB9", "FT232R USB UART", "0403", "6001", "A50285BI"}},
       503,
       R"("estado":"porta_indisponivel")"},
      {{Adapter("A50285BI"), Adapter("A50285BI")}, 200, R"("PesoLido":1234)"},
  };
  for (const Case& c : cases) {
    listing = c.listing;
    const int before = listed;
    const HttpResponse answer =
        service.Handle(LocalRequest("POST", "/v1/ler", R"({"balanca": "caixa"})"));
    EXPECT_EQ(answer.status, c.status) << answer.body;
    EXPECT_NE(answer.body.find(c.answer), std::string::npos) << c.answer << "\n" << answer.body;
    EXPECT_GT(listed, before);  // looked up again, by the request and its station
    const HttpResponse events = service.Handle(LocalRequest("GET", "/v1/eventos?balanca=caixa"));
    EXPECT_EQ(events.status, c.status) << events.body;
  }
  EXPECT_EQ(Opened(), pty_.SlavePath());
}

TEST_F(NamedScaleServiceTest, ListsTheScalesAndNothingElseOfTheConfiguration) {
  ServiceSettings settings = Settings(
      {{"caixa", ScaleOn("usb:0403:6001:A50285BI", 2)}, {"balcao", ScaleOn(link_.string(), 1)}});
  settings.origins = {"https://pdv.loja.exemplo"};
  WeightService service(settings, Factory());
  const HttpResponse answer = service.Handle(LocalRequest("GET", "/v1/balancas"));
  EXPECT_EQ(answer.status, 200);
  const auto list = nlohmann::json::parse(answer.body);
  ASSERT_EQ(list.size(), 2u) << answer.body;
  EXPECT_EQ(list[0]["nome"], "balcao");
  EXPECT_EQ(list[0]["Porta"], link_.string());
  EXPECT_EQ(list[1]["nome"], "caixa");
  EXPECT_EQ(list[1]["Porta"], "usb:0403:6001:A50285BI");
  EXPECT_EQ(list[1]["Mod_Bal"], 2);
  EXPECT_EQ(list[1]["Vel_Bal"], 4800);
  EXPECT_EQ(answer.body.find("pdv.loja"), std::string::npos);
  EXPECT_EQ(answer.body.find("portasPermitidas"), std::string::npos);
  // A scale whose port is gone answers as a port that could not be opened.
  WeightService gone(Settings({{"caixa", ScaleOn("/dev/ttyUSB-nenhum", 1)}}), Factory());
  const HttpResponse missing = gone.Handle(LocalRequest("POST", "/v1/ler", "{}"));
  EXPECT_EQ(missing.status, 503) << missing.body;
  EXPECT_NE(missing.body.find(R"("estado":"porta_indisponivel")"), std::string::npos);
}
#endif

}  // namespace
}  // namespace trv::service
