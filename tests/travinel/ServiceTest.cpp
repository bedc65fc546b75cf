#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "HttpMessage.h"
#include "RequestGuard.h"
#include "ScaleRequest.h"
#include "WeightService.h"
#include "serial/SerialPortList.h"
#ifndef _WIN32
#include "testing/Pseudoterminal.h"
#endif

namespace trv::service {
namespace {

namespace fs = std::filesystem;

HttpRequest LocalRequest(const char* method, const std::string& target,
                         const std::string& body = "") {
  HttpRequest request;
  request.method = method;
  EXPECT_TRUE(ParseTarget(target, request)) << target;
  request.headers["host"] = "127.0.0.1:8470";
  request.body = body;
  return request;
}

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
  settings.origins = {"https://pdv.loja.exemplo", "http://caixa.local:8080/"};
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
        OriginCase{"http://127.0.0.1:9999", false}}) {
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
  for (const Case& c : cases) {
    cli::FormSettings settings;
    std::string error;
    const bool accepted = ScaleRequest::FromJson(c.body, settings, error);
    EXPECT_EQ(accepted, *c.error == '\0') << c.body;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.body << " -> " << error;
  }
  cli::FormSettings settings;
  std::string error;
  ASSERT_TRUE(
      ScaleRequest::FromJson(R"({"Porta": "/dev/ttyUSB0", "Mod_Bal": 7})", settings, error));
  EXPECT_EQ(settings.portPath, "/dev/ttyUSB0");
  EXPECT_EQ(settings.vel, 9600);  // the control's defaults for what is left out
  EXPECT_EQ(settings.bits, 8);
}

TEST(WeightService, RefusesStrangersBeforeAnythingElse) {
  WeightService service(ShopSettings());
  auto request = [](const char* method, const char* target, const char* host, const char* origin) {
    HttpRequest r;
    r.method = method;
    EXPECT_TRUE(ParseTarget(target, r));
    r.headers["host"] = host;
    if (*origin != '\0') r.headers["origin"] = origin;
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
  names.insert(names.end(), {"\\\\.\\C:", "COM1.txt", "COM01", "NUL"});
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

}  // namespace
}  // namespace trv::service
