#include "SimulatorCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace trv::tools {
namespace {

class SimulatorCommandLineTest : public ::testing::Test {
 protected:
  bool Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "travinel-simulator");
    return commandLine_.Parse(static_cast<int>(args.size()), args.data());
  }
  const SimulatorOptions& Options() const { return commandLine_.Options(); }

  SimulatorCommandLine commandLine_;
};

TEST_F(SimulatorCommandLineTest, DefaultsToAFilizolaScaleOnANewPseudoterminal) {
  ASSERT_TRUE(Parse({}));
  EXPECT_EQ(Options().settings.protocol, "filizola");
  EXPECT_TRUE(Options().link.empty());
  EXPECT_TRUE(Options().tty.empty());
  EXPECT_FALSE(Options().settings.silent);
  EXPECT_FALSE(Options().help);
}

TEST_F(SimulatorCommandLineTest, TakesEveryOption) {
  ASSERT_TRUE(Parse({"--protocol", "filizola", "--link", "/tmp/scale", "--control-link=/tmp/ctl",
                     "--weight", "1234", "--state", "unstable", "--delay", "10", "--split=20",
                     "--silent", "--unstable", "2", "--unsolicited", "300", "--log", "/tmp/l"}))
      << commandLine_.Error();
  EXPECT_EQ(Options().link, "/tmp/scale");
  EXPECT_EQ(Options().controlLink, "/tmp/ctl");
  EXPECT_EQ(Options().logPath, "/tmp/l");
  EXPECT_EQ(Options().settings.reading.grams, 1234);
  EXPECT_EQ(Options().settings.reading.state, ScaleState::Unstable);
  EXPECT_EQ(Options().settings.delayMs, 10);
  EXPECT_EQ(Options().settings.splitMs, 20);
  EXPECT_TRUE(Options().settings.silent);
  EXPECT_EQ(Options().settings.unstableAnswers, 2);
  EXPECT_EQ(Options().settings.unsolicitedMs, 300);
}

TEST_F(SimulatorCommandLineTest, ServesATtyAtASpeed) {
  ASSERT_TRUE(Parse({"--tty", "/dev/ttyUSB0", "--baud", "4800"}));
  EXPECT_EQ(Options().tty, "/dev/ttyUSB0");
  EXPECT_EQ(Options().baud, 4800);
}

TEST_F(SimulatorCommandLineTest, AsksForHelp) {
  ASSERT_TRUE(Parse({"--help"}));
  EXPECT_TRUE(Options().help);
  EXPECT_NE(SimulatorCommandLine::Usage().find("--control-link"), std::string::npos);
}

TEST_F(SimulatorCommandLineTest, NamesTheBadOption) {
  EXPECT_FALSE(Parse({"--colour"}));
  EXPECT_EQ(commandLine_.Error(), "unknown option --colour");
  EXPECT_FALSE(Parse({"--weight"}));
  EXPECT_EQ(commandLine_.Error(), "--weight needs a value");
  EXPECT_FALSE(Parse({"--weight", "heavy"}));
  EXPECT_EQ(commandLine_.Error(), "--weight: bad weight heavy");
  EXPECT_FALSE(Parse({"--protocol", "acme"}));
  EXPECT_EQ(commandLine_.Error().rfind("--protocol: unknown protocol acme", 0), 0u);
  EXPECT_FALSE(Parse({"--silent=yes"}));
  EXPECT_EQ(commandLine_.Error(), "--silent takes no value");
  EXPECT_FALSE(Parse({"--baud", "1234"}));
  EXPECT_FALSE(Parse({"--link", "/tmp/a", "--tty", "/dev/ttyS0"}));
}

}  // namespace
}  // namespace trv::tools
