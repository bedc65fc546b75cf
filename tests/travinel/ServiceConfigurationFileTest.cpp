// The files of `travinel configurar`: the service's configuration file read and written, the
// Linux policy file, and the whole-file replacement they share.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "BrowserPolicyFiles.h"
#include "ExitCodes.h"
#include "FormSettingsJson.h"
#include "NamedScaleFile.h"
#include "NamedScaleLookup.h"
#include "ServiceConfigurationFile.h"

namespace trv::config {
namespace {

using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

bool SameConfiguration(const SiteConfiguration& a, const SiteConfiguration& b) {
  return a.sites == b.sites && a.allowedPorts == b.allowedPorts && a.listen == b.listen;
}

TEST(ServiceConfigurationFile, ReadsTheServicesKeys) {
  struct Case {
    std::string text;
    SiteConfiguration wanted;
  };
  for (const Case& c : {
           Case{R"({"origens": [], "portasPermitidas": []})", {}},
           Case{R"({})", {}},
           Case{
               R"({"origens": ["https://*.loja.example"], "portasPermitidas": ["1", "/dev/ttyUSB0"],
                    "escuta": "127.0.0.1:8471"})",
               {{"https://*.loja.example"}, {"1", "/dev/ttyUSB0"}, "127.0.0.1:8471"}},
           Case{R"({"origens": ["http://caixa:8080"], "registro": {"nivel": 2}})",
                {{"http://caixa:8080"}, {}, ""}},
       }) {
    SiteConfiguration read{{"earlier"}, {"earlier"}, "earlier"};
    std::string error;
    EXPECT_TRUE(ServiceConfigurationFile::Parse(c.text, read, error)) << c.text << ": " << error;
    EXPECT_TRUE(SameConfiguration(read, c.wanted)) << c.text;
  }
}

TEST(ServiceConfigurationFile, RefusesBrokenFilesWithAMessage) {
  for (const std::string& text : std::vector<std::string>{
           "",
           "[]",
           "\"origens\"",
           "{",
           R"({"origens": "https://a.example"})",
           R"({"origens": [1]})",
           R"({"origens": ["pdv.example"]})",
           R"({"portasPermitidas": [null]})",
           R"({"escuta": 8470})",
           R"({"escuta": "0.0.0.0:8470"})",
           R"({"origens": []} lixo)",
       }) {
    SiteConfiguration read;
    std::string error;
    EXPECT_FALSE(ServiceConfigurationFile::Parse(text, read, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(ServiceConfigurationFile, WritesWhatItReadsAndKeepsOtherKeys) {
  struct Case {
    SiteConfiguration configuration;
    std::string previous;
  };
  for (const Case& c : {
           Case{{{"https://*.loja.example", "https://pdv.example"}, {"1", "3"}, "127.0.0.1:8470"},
                ""},
           Case{{{"https://pdv.example"}, {}, ""}, R"({"escuta": "127.0.0.1:9000"})"},
           Case{{{}, {}, ""}, "não é JSON"},
           Case{{{"https://a.example"}, {"C:\\\"aspas\"\\porta"}, ""},
                R"({"outra": "texto com \"aspas\" e \\barras\\", "origens": ["x"]})"},
       }) {
    const std::string text = ServiceConfigurationFile::Compose(c.configuration, c.previous);
    SiteConfiguration read;
    std::string error;
    EXPECT_TRUE(ServiceConfigurationFile::Parse(text, read, error)) << text << ": " << error;
    EXPECT_TRUE(SameConfiguration(read, c.configuration)) << text;
    const nlohmann::json written = nlohmann::json::parse(text);
    EXPECT_TRUE(written.contains("origens") && written.contains("portasPermitidas")) << text;
    EXPECT_EQ(written.contains("escuta"), !c.configuration.listen.empty()) << text;
  }
  const nlohmann::json kept = nlohmann::json::parse(ServiceConfigurationFile::Compose(
      {}, R"({"outra": "texto com \"aspas\" e \\barras\\", "escuta": "127.0.0.1:9000"})"));
  EXPECT_EQ(kept.at("outra"), "texto com \"aspas\" e \\barras\\");
  EXPECT_FALSE(kept.contains("escuta"));
}

TEST(ServiceConfigurationFile, WritesValidJsonFromInvalidText) {
  const std::string text =
      ServiceConfigurationFile::Compose({{}, {std::string("porta\xff\xfe")}, ""}, "");
  EXPECT_FALSE(nlohmann::json::parse(text, nullptr, false).is_discarded()) << text;
}

// Named scales: the control's property names under the rules of a page's request, the port as
// a number, a port name, a device path or a USB adapter's identity.
TEST(ServiceConfigurationFile, ReadsNamedScales) {
  struct Case {
    std::string scales;
    std::string name;
    int porta;
    std::string portPath;
    int modelo;
    int vel;
  };
  for (const Case& c : {
           Case{R"({"caixa": {"Porta": "COM3", "Mod_Bal": 2}})", "caixa", 3, "", 2, 9600},
           Case{R"({"caixa": {"Porta": 3, "Mod_Bal": 2, "Vel_Bal": 4800}})", "caixa", 3, "", 2,
                4800},
           Case{R"({"Balcao_2": {"Porta": "/dev/ttyUSB0", "Mod_Bal": 7}})", "Balcao_2", -1,
                "/dev/ttyUSB0", 7, 9600},
           Case{R"({"a": {"Porta": "usb:0403:6001:A50285BI", "Mod_Bal": 1, "Uni_Bal": 1}})", "a",
                -1, "usb:0403:6001:A50285BI", 1, 9600},
           Case{"{\"" + std::string(32, 'b') + R"(": {"Porta": 1, "Mod_Bal": 1}})",
                std::string(32, 'b'), 1, "", 1, 9600},
       }) {
    SiteConfiguration read;
    std::string error;
    ASSERT_TRUE(ServiceConfigurationFile::Parse(R"({"balancas": )" + c.scales + "}", read, error))
        << c.scales << ": " << error;
    ASSERT_EQ(read.scales.size(), 1u);
    const FormSettings& scale = read.scales.at(c.name);
    EXPECT_EQ(scale.porta, c.porta) << c.scales;
    EXPECT_EQ(scale.portPath, c.portPath) << c.scales;
    EXPECT_EQ(scale.modelo, c.modelo) << c.scales;
    EXPECT_EQ(scale.vel, c.vel) << c.scales;
  }
}

TEST(ServiceConfigurationFile, RefusesBadScalesWithTheirName) {
  struct Case {
    std::string scales;
    const char* error;  // the message's beginning
  };
  const std::string valid = R"({"Porta": 1, "Mod_Bal": 1})";
  for (const Case& c : {
           Case{R"([])", "balancas deve ser um objeto"},
           Case{R"({"caixa": 3})", "balancas.caixa: deve ser um objeto"},
           Case{R"({"caixa": {"Mod_Bal": 1}})", "balancas.caixa: falta Porta"},
           Case{R"({"caixa": {"Porta": 1}})", "balancas.caixa: falta Mod_Bal"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": 0}})", "balancas.caixa: Mod_Bal deve ser"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": "2"}})", "balancas.caixa: Mod_Bal deve ser"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": 2, "Vel_Bal": 18446744073709551615}})",
                "balancas.caixa: Vel_Bal deve ser"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": 2, "Bit_Bal": -8}})",
                "balancas.caixa: Bit_Bal deve ser"},
           Case{R"({"caixa": {"Porta": 256, "Mod_Bal": 2}})", "balancas.caixa: Porta deve ser"},
           Case{R"({"caixa": {"Porta": [1], "Mod_Bal": 2}})", "balancas.caixa: Porta deve ser"},
           Case{R"({"caixa": {"Porta": "", "Mod_Bal": 2}})", "balancas.caixa: Porta deve ser"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": 2, "Usr_Bal": 1}})",
                "balancas.caixa: campo desconhecido: Usr_Bal"},
           Case{R"({"caixa": {"Porta": 1, "Mod_Bal": 2, "balanca": "x"}})",
                "balancas.caixa: campo desconhecido: balanca"},
           Case{R"({"": )" + valid + "}", "balancas: nome de balança inválido: ''"},
           Case{R"({"../caixa": )" + valid + "}", "balancas: nome de balança inválido: '../caixa'"},
           Case{R"({"a b": )" + valid + "}", "balancas: nome de balança inválido"},
           Case{R"({"balança": )" + valid + "}", "balancas: nome de balança inválido: 'balança'"},
           Case{R"({"caixa\r\nx": )" + valid + "}",
                "balancas: nome de balança inválido: 'caixa??x'"},
           Case{"{\"" + std::string(33, 'b') + "\": " + valid + "}",
                "balancas: nome de balança inválido"},
           Case{"{\"" + std::string(5000, 'n') + "\": " + valid + "}",
                "balancas: nome de balança inválido: 'nnnn"},
       }) {
    SiteConfiguration read;
    std::string error;
    EXPECT_FALSE(ServiceConfigurationFile::Parse(R"({"balancas": )" + c.scales + "}", read, error))
        << c.scales;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.scales << " -> " << error;
    EXPECT_LT(error.size(), 200u) << error;
  }
}

TEST(ServiceConfigurationFile, WritesScalesAndKeepsThemWhenOnlyTheSitesChange) {
  SiteConfiguration configuration{{"https://pdv.example"}, {}, ""};
  FormSettings identity;
  identity.portPath = "usb:0403:6001:A50285BI";
  identity.modelo = 2;
  identity.vel = 4800;
  FormSettings numbered;
  numbered.porta = 3;
  numbered.modelo = 1;
  numbered.unidade = 1;
  configuration.scales = {{"caixa", identity}, {"balcao", numbered}};
  const std::string text =
      ServiceConfigurationFile::Compose(configuration, R"({"outra": 1, "balancas": {"velha": 2}})");
  SiteConfiguration read;
  std::string error;
  ASSERT_TRUE(ServiceConfigurationFile::Parse(text, read, error)) << text << ": " << error;
  ASSERT_EQ(read.scales.size(), 2u) << text;
  EXPECT_EQ(FormSettingsJson::Write(read.scales.at("caixa")), FormSettingsJson::Write(identity));
  EXPECT_EQ(FormSettingsJson::Write(read.scales.at("balcao")), FormSettingsJson::Write(numbered));
  EXPECT_EQ(nlohmann::json::parse(text).at("balancas").at("balcao").at("Porta"), 3);
  EXPECT_EQ(nlohmann::json::parse(text).at("outra"), 1);

  // New sites keep the scales; writing none takes the key away.
  const std::string sitesOnly = ServiceConfigurationFile::Compose(
      {{"https://b.example"}, {}, ""}, text, ServiceConfigurationFile::Scales::kKeep);
  ASSERT_TRUE(ServiceConfigurationFile::Parse(sitesOnly, read, error)) << error;
  EXPECT_EQ(read.scales.size(), 2u);
  EXPECT_EQ(read.sites, Texts{"https://b.example"});
  EXPECT_FALSE(
      nlohmann::json::parse(ServiceConfigurationFile::Compose({}, text)).contains("balancas"));
}

TEST(BrowserPolicyFiles, HoldsBothPoliciesForTheSites) {
  const nlohmann::json policies = nlohmann::json::parse(BrowserPolicyFiles::Compose(
      {"https://*.loja.example", "https://pdv.example:443", "file://servidor"}));
  const Texts patterns{"https://[*.]loja.example", "https://pdv.example"};
  EXPECT_EQ(policies.size(), 2u);
  EXPECT_EQ(policies.at("LoopbackNetworkAllowedForUrls").get<Texts>(), patterns);
  EXPECT_EQ(policies.at("LocalNetworkAccessAllowedForUrls").get<Texts>(), patterns);
}

// A folder of its own under the system's temporary folder, removed with the test.
class TemporaryFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("travinel-configuration-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const {
    const std::u8string text = (folder_ / name).u8string();
    return std::string(text.begin(), text.end());
  }
  fs::path folder_;
};

using AtomicFileTest = TemporaryFolder;

TEST_F(AtomicFileTest, ReplacesWholeFilesAndLeavesNothingBeside) {
  const std::string path = PathOf("a/b/servir.json");
  EXPECT_FALSE(AtomicFile::Read(path));
  AtomicFile::Replace(path, "primeiro");
  EXPECT_EQ(AtomicFile::Read(path).value_or(""), "primeiro");
  AtomicFile::Replace(path, std::string("segundo\0com zero", 16));
  EXPECT_EQ(AtomicFile::Read(path).value_or(""), std::string("segundo\0com zero", 16));
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_ / "a" / "b")) {
    EXPECT_EQ(entry.path().filename(), "servir.json");
    ++files;
  }
  EXPECT_EQ(files, 1u);
  AtomicFile::Restore(path, std::nullopt);
  EXPECT_FALSE(AtomicFile::Read(path));
  AtomicFile::Remove(path);  // already gone: no failure
  AtomicFile::Restore(path, "de volta");
  EXPECT_EQ(AtomicFile::Read(path).value_or(""), "de volta");
}

TEST_F(AtomicFileTest, FailsWithAMessageAndKeepsTheOldFile) {
  const std::string path = PathOf("servir.json");
  AtomicFile::Replace(path, "antigo");
  // A folder where the new file's folder should be.
  fs::create_directories(folder_ / "servir.json.travinel-novo");
  EXPECT_THROW(AtomicFile::Replace(path, "novo"), std::exception);
  EXPECT_EQ(AtomicFile::Read(path).value_or(""), "antigo");
  EXPECT_THROW(AtomicFile::Replace(PathOf("servir.json/dentro"), "x"), std::exception);
}

using NamedScaleFileTest = TemporaryFolder;

TEST_F(NamedScaleFileTest, ChangesOneScaleAndKeepsTheRestOfTheFile) {
  const std::string path = PathOf("etc/travinel/servir.json");
  FormSettings scale;
  scale.porta = 3;
  scale.modelo = 2;
  NamedScaleFile::Set(path, "caixa", scale);  // no file yet
  AtomicFile::Replace(path, R"({"origens": ["https://pdv.example"], "outra": [1, 2],
                               "balancas": {"caixa": {"Porta": 1, "Mod_Bal": 1}}})");
  NamedScaleFile::Set(path, "caixa", scale);
  scale.portPath = "usb:0403:6001:A50285BI";
  scale.porta = -1;
  NamedScaleFile::Set(path, "balcao", scale);
  SiteConfiguration read;
  std::string error;
  ASSERT_TRUE(ServiceConfigurationFile::Parse(*AtomicFile::Read(path), read, error)) << error;
  EXPECT_EQ(read.sites, Texts{"https://pdv.example"});
  ASSERT_EQ(read.scales.size(), 2u);
  EXPECT_EQ(read.scales.at("caixa").porta, 3);
  EXPECT_EQ(read.scales.at("caixa").modelo, 2);
  EXPECT_EQ(read.scales.at("balcao").portPath, "usb:0403:6001:A50285BI");
  EXPECT_EQ(nlohmann::json::parse(*AtomicFile::Read(path)).at("outra"), nlohmann::json({1, 2}));

  EXPECT_TRUE(NamedScaleFile::Remove(path, "caixa"));
  EXPECT_FALSE(NamedScaleFile::Remove(path, "caixa"));
  ASSERT_TRUE(ServiceConfigurationFile::Parse(*AtomicFile::Read(path), read, error)) << error;
  EXPECT_EQ(read.scales.size(), 1u);
  EXPECT_EQ(read.sites, Texts{"https://pdv.example"});

  // A file the service could not read is left for IT to mend.
  AtomicFile::Replace(path, R"({"origens": "não é lista"})");
  EXPECT_THROW(NamedScaleFile::Set(path, "caixa", scale), std::exception);
  EXPECT_THROW(NamedScaleFile::Remove(path, "balcao"), std::exception);
  EXPECT_EQ(*AtomicFile::Read(path), R"({"origens": "não é lista"})");
}

using NamedScaleLookupTest = TemporaryFolder;

// travinel ler --balanca: the scale's settings from the file, an adapter looked for in the
// listing it is given.
TEST_F(NamedScaleLookupTest, FindsTheScaleAndItsAdapter) {
  const std::string path = PathOf("servir.json");
  AtomicFile::Replace(path, R"({"balancas": {
      "caixa": {"Porta": "COM3", "Mod_Bal": 2, "Vel_Bal": 4800},
      "usb": {"Porta": "usb:0403:6001:A50285BI", "Mod_Bal": 1}}})");
  const SerialPortEntry adapter{"/dev/ttyUSB1", "/dev/ttyUSB1", "", "0403", "6001", "A50285BI"};
  const SerialPortEntry other{"/dev/ttyUSB0", "/dev/ttyUSB0", "", "0403", "6001", "OUTRO"};
  struct Case {
    std::string path;
    std::string name;
    std::vector<SerialPortEntry> listing;
    int code;
    int porta;
    std::string portPath;
    const char* error;
  };
  for (const Case& c : {
           Case{path, "caixa", {}, cli::kExitOk, 3, "", ""},
           Case{path, "usb", {other, adapter}, cli::kExitOk, -1, "/dev/ttyUSB1", ""},
           Case{path,
                "usb",
                {other},
                cli::kExitPortFailure,
                0,
                "",
                "o adaptador da balança usb (usb:0403:6001:A50285BI) não está conectado"},
           Case{path, "cozinha", {}, cli::kExitUsage, 0, "", "não há balança cozinha em "},
           Case{path, "../caixa", {}, cli::kExitUsage, 0, "", "--balanca: nome de balança"},
           Case{PathOf("nenhum.json"),
                "caixa",
                {},
                cli::kExitUsage,
                0,
                "",
                "não foi possível abrir "},
       }) {
    FormSettings settings;
    std::string error;
    const int code = NamedScaleLookup::Find(
        c.path, c.name, [&c] { return c.listing; }, settings, error);
    EXPECT_EQ(code, c.code) << c.name << ": " << error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.name << ": " << error;
    if (code != cli::kExitOk) continue;
    EXPECT_EQ(settings.porta, c.porta) << c.name;
    EXPECT_EQ(settings.portPath, c.portPath) << c.name;
  }
}

}  // namespace
}  // namespace trv::config
