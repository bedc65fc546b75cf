// Storing the scale found under a name: what goes into the configuration, and a file that is
// kept whole or left alone.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "NamedScaleSaver.h"
#include "ServiceConfigurationFile.h"

namespace trv::detection {
namespace {

PortOutcome FoundUrano(const std::string& identity) {
  PortOutcome found;
  found.port = "/dev/ttyUSB0";
  found.device = "/dev/ttyUSB0";
  found.identity = identity;
  found.kind = PortOutcome::Kind::kFound;
  found.reading = {4, "Urano", 1.234};
  found.line = {4800, 7, 2, 0};
  return found;
}

TEST(NamedScaleSaver, StoresEverySettingFoundWithThePortByItsIdentityWhereItHasOne) {
  const FormSettings scale = NamedScaleSaver::SettingsOf(FoundUrano("usb:0403:6001:A1"));
  EXPECT_EQ(scale.portPath, "usb:0403:6001:A1");
  EXPECT_EQ(scale.porta, -1);
  EXPECT_EQ(scale.modelo, 4);
  EXPECT_EQ(scale.vel, 4800);
  EXPECT_EQ(scale.bits, 7);
  EXPECT_EQ(scale.paridade, 2);
  EXPECT_EQ(scale.parada, 0);
  EXPECT_EQ(NamedScaleSaver::SettingsOf(FoundUrano("")).portPath, "/dev/ttyUSB0");
}

class NamedScaleFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_);
    std::filesystem::remove(path_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Read() const {
    std::stringstream text;
    text << std::ifstream(path_, std::ios::binary).rdbuf();
    return text.str();
  }

  std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() /
      ("trv-named-scale-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::path path_ = folder_ / "servir.json";
};

TEST_F(NamedScaleFile, StoresTheScaleAndKeepsTheFilesOtherSettings) {
  Write(R"({"origens": ["https://loja.example"], "outra": 1})");
  NamedScaleSaver::Save(path_.string(), "caixa", FoundUrano(""));
  config::SiteConfiguration read;
  std::string error;
  ASSERT_TRUE(config::ServiceConfigurationFile::Parse(Read(), read, error)) << error;
  EXPECT_EQ(read.sites, std::vector<std::string>{"https://loja.example"});
  ASSERT_EQ(read.scales.count("caixa"), 1u);
  EXPECT_EQ(read.scales.at("caixa").modelo, 4);
  EXPECT_EQ(read.scales.at("caixa").vel, 4800);
  EXPECT_NE(Read().find("\"outra\""), std::string::npos);
}

}  // namespace
}  // namespace trv::detection
