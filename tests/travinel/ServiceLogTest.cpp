// The service's log: a page's values cannot forge lines, the file stays bounded however much is
// written, and lines written from many connections' threads at once arrive whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RotatingLogFile.h"
#include "ServiceLog.h"

namespace trv::service {
namespace {

namespace fs = std::filesystem;

class LogFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("travinel-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path folder_;
};

TEST(ServiceLogText, APagesValueCannotForgeALine) {
  EXPECT_EQ(ServiceLog::Quoted("https://pdv.example"), "\"https://pdv.example\"");
  EXPECT_EQ(ServiceLog::Quoted("evil\r\n2026-01-01 origem aceita\x1b[2J"),
            "\"evil  2026-01-01 origem aceita [2J\"");
  const std::string huge(5000, 'a');
  EXPECT_EQ(ServiceLog::Quoted(huge), "\"" + std::string(200, 'a') + "...\"");
  EXPECT_EQ(ServiceLog::Quoted(std::string("a\0b", 3)), "\"a b\"");
}

TEST_F(LogFolder, TheFileRotatesAndStaysBounded) {
  const fs::path path = folder_ / "servir.log";
  {
    RotatingLogFile log(path, 1000, 2);
    for (int i = 0; i < 500; ++i) log.Write("linha " + std::to_string(i) + std::string(40, '.'));
  }
  uintmax_t total = 0;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_LE(entry.file_size(), 1000u) << entry.path();
    total += entry.file_size();
    ++files;
  }
  EXPECT_EQ(files, 3);  // servir.log, .1 and .2
  EXPECT_LE(total, 3000u);
  // The newest line is in the current file, the lines before it in order in the older ones.
  const std::vector<std::string> current = Lines(path);
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.back().rfind("linha 499", 0), 0u);
  const std::vector<std::string> older = Lines(folder_ / "servir.log.1");
  ASSERT_FALSE(older.empty());
  EXPECT_EQ(older.back().substr(0, 6), "linha ");
  EXPECT_LT(std::stoi(older.back().substr(6)), std::stoi(current.front().substr(6)));
}

TEST_F(LogFolder, AReopenedLogGoesOnWhereItWas) {
  const fs::path path = folder_ / "servir.log";
  { RotatingLogFile(path, 100, 1).Write(std::string(60, 'x')); }
  { RotatingLogFile(path, 100, 1).Write(std::string(60, 'y')); }  // would pass 100: rotates
  EXPECT_EQ(Lines(path), std::vector<std::string>{std::string(60, 'y')});
  EXPECT_EQ(Lines(folder_ / "servir.log.1"), std::vector<std::string>{std::string(60, 'x')});
}

TEST_F(LogFolder, LinesFromManyThreadsArriveWhole) {
  {
    ServiceLog log(folder_);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&log, t] {
        for (int i = 0; i < 200; ++i) log.Write("conexao " + std::to_string(t) + " recusada");
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  const std::vector<std::string> lines = Lines(folder_ / "servir.log");
  EXPECT_EQ(lines.size(), 1600u);
  for (const std::string& line : lines) {
    // "2026-12-10T15:00:00Z conexao N recusada"
    ASSERT_EQ(line.size(), 39u) << line;
    EXPECT_EQ(line[10], 'T');
    EXPECT_EQ(line.substr(21, 8), "conexao ");
    EXPECT_EQ(line.substr(30), " recusada");
  }
}

}  // namespace
}  // namespace trv::service
