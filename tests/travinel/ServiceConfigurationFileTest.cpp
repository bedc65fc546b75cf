// The files of `travinel configurar`: the service's configuration file read and written, the
// Linux policy file, and the whole-file replacement they share.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "BrowserPolicyFiles.h"
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

}  // namespace
}  // namespace trv::config
