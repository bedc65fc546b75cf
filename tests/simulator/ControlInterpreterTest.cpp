#include "ControlInterpreter.h"

#include <gtest/gtest.h>

namespace trv::tools {
namespace {

class ControlInterpreterTest : public ::testing::Test {
 protected:
  std::string Run(const std::string& line, uint64_t requests = 0) {
    const ControlInterpreter::Result result = interpreter_.Execute(line, settings_, requests);
    quit_ = result.quit;
    return result.reply;
  }

  SimulatorSettings start_ = [] {
    SimulatorSettings settings;
    settings.reading.grams = 42;
    return settings;
  }();
  ControlInterpreter interpreter_{start_};
  SimulatorSettings settings_ = start_;
  bool quit_ = false;
};

TEST_F(ControlInterpreterTest, SetsEverySetting) {
  EXPECT_EQ(Run("WEIGHT 1234"), "OK\n");
  EXPECT_EQ(Run("STATE overload"), "OK\n");
  EXPECT_EQ(Run("DELAY 500"), "OK\n");
  EXPECT_EQ(Run("SPLIT 50"), "OK\n");
  EXPECT_EQ(Run("SILENT on"), "OK\n");
  EXPECT_EQ(Run("UNSTABLE 3"), "OK\n");
  EXPECT_EQ(Run("UNSOLICITED 100"), "OK\n");
  EXPECT_EQ(Run("PROTOCOL Filizola"), "OK\n");
  EXPECT_EQ(settings_.reading.grams, 1234);
  EXPECT_EQ(settings_.reading.state, ScaleState::Overload);
  EXPECT_EQ(settings_.delayMs, 500);
  EXPECT_EQ(settings_.splitMs, 50);
  EXPECT_TRUE(settings_.silent);
  EXPECT_EQ(settings_.unstableAnswers, 3);
  EXPECT_EQ(settings_.unsolicitedMs, 100);
  EXPECT_EQ(settings_.protocol, "filizola");
  EXPECT_FALSE(quit_);
}

TEST_F(ControlInterpreterTest, TakesAnyLetterCaseAndExtraSpaces) {
  EXPECT_EQ(Run("  weight   7  "), "OK\n");
  EXPECT_EQ(Run("State UNSTABLE"), "OK\n");
  EXPECT_EQ(Run("silent ON"), "OK\n");
  EXPECT_EQ(settings_.reading.grams, 7);
  EXPECT_EQ(settings_.reading.state, ScaleState::Unstable);
  EXPECT_TRUE(settings_.silent);
}

TEST_F(ControlInterpreterTest, SwitchesOff) {
  Run("SILENT on");
  Run("SPLIT 20");
  Run("UNSOLICITED 20");
  EXPECT_EQ(Run("SILENT off"), "OK\n");
  EXPECT_EQ(Run("SPLIT 0"), "OK\n");
  EXPECT_EQ(Run("UNSOLICITED 0"), "OK\n");
  EXPECT_FALSE(settings_.silent);
  EXPECT_EQ(settings_.splitMs, 0);
  EXPECT_EQ(settings_.unsolicitedMs, 0);
}

TEST_F(ControlInterpreterTest, RefusesBadCommandsAndKeepsTheSettings) {
  const SimulatorSettings before = settings_;
  EXPECT_EQ(Run("FLY away"), "ERR unknown command FLY\n");
  EXPECT_EQ(Run("WEIGHT"), "ERR WEIGHT takes one argument\n");
  EXPECT_EQ(Run("WEIGHT 1 2"), "ERR WEIGHT takes one argument\n");
  EXPECT_EQ(Run("WEIGHT 12kg"), "ERR bad weight 12kg\n");
  EXPECT_EQ(Run("DELAY -1"), "ERR bad milliseconds -1 (0 to 3600000)\n");
  EXPECT_EQ(Run("SILENT maybe"), "ERR bad switch maybe (on or off)\n");
  EXPECT_EQ(Run("UNSTABLE x"), "ERR bad count x\n");
  EXPECT_EQ(Run("STATE wobbly").rfind("ERR bad state wobbly", 0), 0u);
  EXPECT_EQ(Run("PROTOCOL acme").rfind("ERR unknown protocol acme", 0), 0u);
  EXPECT_EQ(Run("QUIT now"), "ERR QUIT takes no argument\n");
  EXPECT_FALSE(quit_);
  EXPECT_EQ(settings_.reading.grams, before.reading.grams);
  EXPECT_EQ(settings_.delayMs, before.delayMs);
  EXPECT_EQ(settings_.silent, before.silent);
}

TEST_F(ControlInterpreterTest, ResetRestoresTheStartSettings) {
  Run("WEIGHT 9");
  Run("SILENT on");
  EXPECT_EQ(Run("RESET"), "OK\n");
  EXPECT_EQ(settings_.reading.grams, 42);
  EXPECT_FALSE(settings_.silent);
}

TEST_F(ControlInterpreterTest, AnswersQueriesAndQuit) {
  EXPECT_EQ(Run("REQUESTS", 17), "OK 17\n");
  EXPECT_EQ(Run(""), "");
  EXPECT_EQ(Run("   "), "");
  EXPECT_EQ(Run("QUIT"), "OK\n");
  EXPECT_TRUE(quit_);
}

}  // namespace
}  // namespace trv::tools
