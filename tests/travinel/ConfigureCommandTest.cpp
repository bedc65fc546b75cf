// `travinel configurar` as a whole: its options, and a run that fails in one place putting back
// every place it had already changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "ConfigureCommand.h"
#include "ConfigureOptions.h"
#include "ServiceConfigurationPlace.h"
#include "platform/Exception.h"

namespace trv::config {
namespace {

using Action = ConfigureRequest::Action;
using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

TEST(ConfigureOptions, ReadsWhatToDo) {
  struct Case {
    Texts args;
    Action action;
    bool browsers;
    Texts sites;
    Texts ports;
    std::string listen;
  };
  for (const Case& c : {
           Case{{}, Action::List, true, {}, {}, ""},
           Case{{"--help"}, Action::Help, true, {}, {}, ""},
           Case{{"--sites", "https://*.loja.example;https://pdv.example", "--portas", "1,3",
                 "--escuta", "127.0.0.1:8470"},
                Action::Write,
                true,
                {"https://*.loja.example", "https://pdv.example"},
                {"1", "3"},
                "127.0.0.1:8470"},
           Case{{"--sites=https://a.example", "--sem-politicas"},
                Action::Write,
                false,
                {"https://a.example"},
                {},
                ""},
           Case{{"--sites", "file://servidor", "--sem-politicas"},
                Action::Write,
                false,
                {"file://servidor"},
                {},
                ""},
           Case{{"--remover"}, Action::Remove, true, {}, {}, ""},
           Case{{"--remover", "--sem-politicas"}, Action::Remove, false, {}, {}, ""},
       }) {
    ConfigureRequest request;
    std::string error;
    ASSERT_TRUE(ConfigureOptions::Parse(c.args, request, error)) << error;
    EXPECT_EQ(request.action, c.action);
    EXPECT_EQ(request.browsers, c.browsers);
    EXPECT_EQ(request.configuration.sites, c.sites);
    EXPECT_EQ(request.configuration.allowedPorts, c.ports);
    EXPECT_EQ(request.configuration.listen, c.listen);
  }
}

TEST(ConfigureOptions, RefusesWithAMessage) {
  for (const Texts& args : {
           Texts{"--sites"},
           Texts{"--sites", "pdv.example"},
           Texts{"--sites", "file://servidor"},
           Texts{"--sites", ""},
           Texts{"--portas", "1"},
           Texts{"--escuta", "127.0.0.1:8470"},
           Texts{"--sites", "https://a.example", "--escuta", "0.0.0.0:8470"},
           Texts{"--sites", "https://a.example", "--portas", ""},
           Texts{"--remover", "--sites", "https://a.example"},
           Texts{"--remover=sim"},
           Texts{"--site", "https://a.example"},
           Texts{"https://a.example"},
           Texts{"--raiz", "/"},
       }) {
    ConfigureRequest request;
    std::string error;
    EXPECT_FALSE(ConfigureOptions::Parse(args, request, error)) << args.front();
    EXPECT_FALSE(error.empty()) << args.front();
  }
}

// --balanca with the options of `travinel ler`, and --remover-balanca: one scale, nothing else.
TEST(ConfigureOptions, ReadsANamedScale) {
  struct Case {
    Texts args;
    Action action;
    std::string name;
    int porta;
    std::string portPath;
    int modelo;
    int vel;
    int paridade;
  };
  for (const Case& c : {
           Case{{"--balanca", "caixa", "--porta", "COM3", "--modelo", "2"},
                Action::SetScale,
                "caixa",
                3,
                "",
                2,
                9600,
                0},
           Case{{"--balanca=caixa", "--porta=3", "--modelo=toledo", "--vel", "4800", "--paridade",
                 "e", "--bits", "7"},
                Action::SetScale,
                "caixa",
                3,
                "",
                2,
                4800,
                2},
           Case{{"--balanca", "Balcao_2", "--Por_Bal", "/dev/ttyUSB0", "--mod_bal", "7"},
                Action::SetScale,
                "Balcao_2",
                -1,
                "/dev/ttyUSB0",
                7,
                9600,
                0},
           Case{{"--balanca", "a", "--porta", "usb:0403:6001:A50285BI", "--modelo", "1"},
                Action::SetScale,
                "a",
                -1,
                "usb:0403:6001:A50285BI",
                1,
                9600,
                0},
           Case{{"--remover-balanca", "caixa"}, Action::RemoveScale, "caixa", -1, "", -1, 9600, 0},
       }) {
    ConfigureRequest request;
    std::string error;
    ASSERT_TRUE(ConfigureOptions::Parse(c.args, request, error)) << c.args.front() << ": " << error;
    EXPECT_EQ(request.action, c.action);
    EXPECT_EQ(request.scaleName, c.name);
    EXPECT_EQ(request.scale.porta, c.porta) << c.args[1];
    EXPECT_EQ(request.scale.portPath, c.portPath) << c.args[1];
    EXPECT_EQ(request.scale.modelo, c.modelo) << c.args[1];
    EXPECT_EQ(request.scale.vel, c.vel) << c.args[1];
    EXPECT_EQ(request.scale.paridade, c.paridade) << c.args[1];
  }
}

TEST(ConfigureOptions, RefusesABadScaleWithAMessage) {
  struct Case {
    Texts args;
    const char* error;  // the message's beginning
  };
  for (const Case& c : {
           Case{{"--balanca", "caixa", "--porta", "3"}, "--balanca precisa de --porta e --modelo"},
           Case{{"--balanca", "caixa", "--modelo", "2"}, "--balanca precisa de --porta"},
           Case{{"--balanca", "caixa", "--porta", "3", "--modelo", "0"}, "--modelo: '0'"},
           Case{{"--balanca", "caixa", "--porta", "3", "--modelo", "9"}, "--modelo: '9'"},
           Case{{"--balanca", "caixa", "--porta", "3", "--modelo", "2", "--vel", "99999999999"},
                "--vel: '99999999999'"},
           Case{{"--balanca", "caixa", "--porta", "-1", "--modelo", "2"}, "--porta: '-1'"},
           Case{{"--balanca", "../caixa", "--porta", "3", "--modelo", "2"},
                "--balanca: nome de balança inválido: '../caixa'"},
           Case{{"--balanca", "", "--porta", "3", "--modelo", "2"}, "--balanca: nome de balança"},
           Case{{"--balanca", "balança", "--porta", "3", "--modelo", "2"},
                "--balanca: nome de balança"},
           Case{{"--balanca", std::string(33, 'x'), "--porta", "3", "--modelo", "2"},
                "--balanca: nome de balança"},
           Case{{"--balanca", "cai\x1bxa", "--porta", "3", "--modelo", "2"},
                "--balanca: nome de balança inválido: 'cai?xa'"},
           Case{{"--remover-balanca", "a/b"}, "--remover-balanca: nome de balança"},
           Case{{"--porta", "3", "--modelo", "2"}, "--porta só vale com --balanca"},
           Case{{"--remover-balanca", "caixa", "--modelo", "2"}, "--modelo só vale com --balanca"},
           Case{{"--balanca", "caixa", "--porta", "3", "--modelo", "2", "--sites",
                 "https://a.example"},
                "--balanca e --remover-balanca vão sozinhas"},
           Case{{"--balanca", "caixa", "--remover-balanca", "caixa"},
                "--balanca e --remover-balanca vão sozinhas"},
           Case{{"--remover-balanca", "caixa", "--remover"},
                "--balanca e --remover-balanca vão sozinhas"},
           Case{{"--balanca"}, "--balanca precisa de um valor"},
       }) {
    ConfigureRequest request;
    std::string error;
    EXPECT_FALSE(ConfigureOptions::Parse(c.args, request, error)) << c.error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.error << " -> " << error;
  }
}

// A place whose writing fails, after the places before it have been written.
class FailingPlace : public ConfigurationPlace {
 public:
  std::vector<std::string> Describe() const override { return {"falha"}; }
  void Save() override {}
  void Restore() override { restored = true; }
  void Apply(const SiteConfiguration&, const std::vector<std::string>&) override {
    throw Exception("disco cheio");
  }
  void Remove(const std::vector<std::string>&) override { throw Exception("disco cheio"); }
  bool restored = false;
};

TEST(ConfigureCommand, PutsEveryPlaceBackWhenOneFails) {
  const fs::path folder = fs::temp_directory_path() / "travinel-configure-command-test";
  fs::remove_all(folder);
  const std::string path = (folder / "servir.json").string();
  const std::string previous = R"({"origens": ["https://antigo.example"], "portasPermitidas": []})";
  AtomicFile::Replace(path, previous);

  std::vector<std::unique_ptr<ConfigurationPlace>> places;
  places.push_back(std::make_unique<ServiceConfigurationPlace>(path));
  auto failing = std::make_unique<FailingPlace>();
  FailingPlace* failingPlace = failing.get();
  places.push_back(std::move(failing));

  for (const Texts& args : {Texts{"--sites", "https://novo.example"}, Texts{"--remover"}}) {
    ConfigureRequest request;
    std::string error;
    ASSERT_TRUE(ConfigureOptions::Parse(args, request, error)) << error;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(ConfigureCommand::Execute(request, places, out, err), 1) << args.front();
    EXPECT_NE(err.str().find("disco cheio"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("nada foi alterado"), std::string::npos) << err.str();
    EXPECT_EQ(AtomicFile::Read(path).value_or(""), previous) << args.front();
    EXPECT_TRUE(failingPlace->restored);
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace trv::config
