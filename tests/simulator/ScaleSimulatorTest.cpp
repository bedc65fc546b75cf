// The simulator engine over socket pairs: the test holds the point of sale's end of the scale
// line and of a control channel, the engine serves the other ends on its own thread.

#include "ScaleSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

namespace trv::tools {
namespace {

using Steady = std::chrono::steady_clock;

constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';

// STX, the field, ETX: a Filizola answer.
Bytes Framed(const std::string& field) {
  return kStx + field + kEtx;
}

const Bytes kEnq(1, '\x05');
const Bytes kWeight1234(Framed("001234"));
const Bytes kUnstable(Framed("IIIIII"));

long long MillisecondsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

// A protocol with a two-byte request, "W\r", answered "w<grams>\r": for requests that can
// arrive in pieces.
class TwoByteProtocol final : public ScaleProtocol {
 public:
  std::string Name() const override { return "twobyte"; }
  size_t RequestLength(const Bytes& received) const override {
    return received.rfind("W\r", 0) == 0 ? 2 : 0;
  }
  bool BeginsRequest(const Bytes& received) const override {
    return received == "W" || received.rfind("W\r", 0) == 0;
  }
  Bytes Answer(const ScaleReading& reading) override {
    return "w" + std::to_string(reading.grams) + "\r";
  }
};

class ScaleSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.reading.grams = 1234;
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, scale_), 0);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control_), 0);
    ASSERT_EQ(pipe2(stop_, O_CLOEXEC), 0);
    ASSERT_EQ(fcntl(scale_[1], F_SETFL, O_NONBLOCK), 0);
    ASSERT_EQ(fcntl(control_[1], F_SETFL, O_NONBLOCK), 0);
  }

  void TearDown() override {
    Stop();
    for (int fd : {scale_[0], scale_[1], control_[0], control_[1], stop_[0], stop_[1]}) close(fd);
  }

  void Start(std::unique_ptr<ScaleProtocol> protocol = nullptr) {
    simulator_ =
        std::make_unique<ScaleSimulator>(scale_[1], stop_[0], settings_, std::move(protocol));
    simulator_->AddControlChannel(control_[1], control_[1]);
    simulator_->SetLog(&log_);
    thread_ = std::thread([this] { served_ = simulator_->Serve(); });
  }

  // Ends the engine (when still running) and waits for its thread.
  void Stop() {
    if (!thread_.joinable()) return;
    ASSERT_EQ(write(stop_[1], "x", 1), 1);
    thread_.join();
  }

  void SendScale(const Bytes& bytes) {
    ASSERT_EQ(write(scale_[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads until `count` bytes came or `timeoutMs` passed without them.
  static Bytes Read(int fd, size_t count, int timeoutMs = 2000) {
    Bytes received;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    while (received.size() < count) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
      pollfd entry{fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) != 1) break;
      char buffer[256];
      const ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - received.size()));
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
    return received;
  }
  Bytes ReadScale(size_t count, int timeoutMs = 2000) { return Read(scale_[0], count, timeoutMs); }

  // True when nothing arrives on the scale line for ms.
  bool ScaleQuietFor(int ms) {
    pollfd entry{scale_[0], POLLIN, 0};
    return poll(&entry, 1, ms) == 0;
  }

  std::string Command(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(write(control_[0], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string reply;
    while (reply.empty() || reply.back() != '\n') {
      const Bytes more = Read(control_[0], 1);
      if (more.empty()) break;
      reply += more;
    }
    return reply;
  }

  SimulatorSettings settings_;
  int scale_[2] = {-1, -1};    // [0] the point of sale's end, [1] the scale's
  int control_[2] = {-1, -1};  // [0] the control client's end, [1] the simulator's
  int stop_[2] = {-1, -1};
  std::ostringstream log_;
  std::unique_ptr<ScaleSimulator> simulator_;
  std::thread thread_;
  bool served_ = false;
};

TEST_F(ScaleSimulatorTest, AnswersARequest) {
  Start();
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(kWeight1234.size()), kWeight1234);
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(kWeight1234.size()), kWeight1234);
  Stop();
  EXPECT_TRUE(served_);
  EXPECT_EQ(simulator_->RequestCount(), 2u);
}

TEST_F(ScaleSimulatorTest, AnswersEachRequestOfOneRead) {
  Start();
  SendScale(kEnq + kEnq + kEnq);
  EXPECT_EQ(ReadScale(3 * kWeight1234.size()), kWeight1234 + kWeight1234 + kWeight1234);
}

TEST_F(ScaleSimulatorTest, SkipsGarbageBeforeARequest) {
  Start();
  SendScale("noise\r\n" + kEnq);
  EXPECT_EQ(ReadScale(kWeight1234.size()), kWeight1234);
  EXPECT_TRUE(ScaleQuietFor(100));
  EXPECT_EQ(Command("REQUESTS"), "OK 1\n");
}

TEST_F(ScaleSimulatorTest, JoinsARequestSplitAcrossReads) {
  settings_.protocol = "twobyte";
  Start(std::make_unique<TwoByteProtocol>());
  SendScale("xyW");
  EXPECT_TRUE(ScaleQuietFor(150));
  SendScale("\r");
  EXPECT_EQ(ReadScale(6), "w1234\r");
  // A start that does not go on as a request is noise too.
  SendScale("WxW\r");
  EXPECT_EQ(ReadScale(6), "w1234\r");
  EXPECT_EQ(Command("REQUESTS"), "OK 2\n");
}

TEST_F(ScaleSimulatorTest, DelaysTheAnswer) {
  settings_.delayMs = 300;
  Start();
  const auto start = Steady::now();
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(kWeight1234.size()), kWeight1234);
  const long long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 300);
  EXPECT_LT(elapsed, 1500);
}

TEST_F(ScaleSimulatorTest, SplitsTheAnswerInTwoHalves) {
  settings_.splitMs = 250;
  Start();
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(4), kStx + Bytes("001"));
  const auto firstHalf = Steady::now();
  EXPECT_TRUE(ScaleQuietFor(100));
  EXPECT_EQ(ReadScale(4), "234\x03");
  EXPECT_GE(MillisecondsSince(firstHalf), 240);
}

TEST_F(ScaleSimulatorTest, ResetDropsTheAnswersStillOnTheirWay) {
  settings_.splitMs = 250;
  Start();
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(4), kStx + Bytes("001"));
  EXPECT_EQ(Command("DELAY 200"), "OK\n");
  SendScale(kEnq);
  EXPECT_EQ(Command("RESET"), "OK\n");
  // Neither the second half nor the delayed answer comes.
  EXPECT_TRUE(ScaleQuietFor(400));
}

TEST_F(ScaleSimulatorTest, SilentAnswersNothingButCountsRequests) {
  settings_.silent = true;
  Start();
  SendScale(kEnq);
  EXPECT_TRUE(ScaleQuietFor(300));
  EXPECT_EQ(Command("REQUESTS"), "OK 1\n");
  EXPECT_EQ(Command("SILENT off"), "OK\n");
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(kWeight1234.size()), kWeight1234);
}

TEST_F(ScaleSimulatorTest, UnstableForTheNextAnswersThenTheReading) {
  Start();
  EXPECT_EQ(Command("UNSTABLE 2"), "OK\n");
  for (const Bytes& expected : {kUnstable, kUnstable, kWeight1234, kWeight1234}) {
    SendScale(kEnq);
    EXPECT_EQ(ReadScale(expected.size()), expected);
  }
}

TEST_F(ScaleSimulatorTest, SendsUnaskedAtTheInterval) {
  Start();
  const auto start = Steady::now();
  EXPECT_EQ(Command("UNSOLICITED 100"), "OK\n");
  EXPECT_EQ(ReadScale(4 * kWeight1234.size()),
            kWeight1234 + kWeight1234 + kWeight1234 + kWeight1234);
  const long long elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 400);
  EXPECT_LT(elapsed, 1500);
  EXPECT_EQ(Command("UNSOLICITED 0"), "OK\n");
  ReadScale(kWeight1234.size(), 50);  // one may have been on its way
  EXPECT_TRUE(ScaleQuietFor(300));
}

TEST_F(ScaleSimulatorTest, ControlCommandsChangeTheAnswer) {
  Start();
  EXPECT_EQ(Command("WEIGHT 5"), "OK\n");
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(8), Framed("000005"));
  EXPECT_EQ(Command("STATE negative"), "OK\n");
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(8), Framed("NNNNNN"));
  EXPECT_EQ(Command("RESET"), "OK\n");
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(8), kWeight1234);
  EXPECT_EQ(Command("jump"), "ERR unknown command JUMP\n");
  EXPECT_EQ(Command("PROTOCOL nowhere").rfind("ERR unknown protocol nowhere", 0), 0u);
}

TEST_F(ScaleSimulatorTest, CommandsInOneWriteAreAnsweredInOrder) {
  Start();
  const std::string lines = "WEIGHT 1\r\nDELAY 0\nbad\n";
  ASSERT_EQ(write(control_[0], lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
  EXPECT_EQ(Read(control_[0], 33), "OK\nOK\nERR unknown command BAD\n");
}

TEST_F(ScaleSimulatorTest, QuitEndsServing) {
  Start();
  EXPECT_EQ(Command("QUIT"), "OK\n");
  thread_.join();
  EXPECT_TRUE(served_);
}

TEST_F(ScaleSimulatorTest, AClosedControlChannelLeavesTheScaleServing) {
  Start();
  shutdown(control_[0], SHUT_WR);
  SendScale(kEnq);
  EXPECT_EQ(ReadScale(8), kWeight1234);
}

TEST_F(ScaleSimulatorTest, LogsTheTrafficInHex) {
  Start();
  SendScale("\x01" + kEnq);
  EXPECT_EQ(ReadScale(8), kWeight1234);
  Command("WEIGHT 2");
  Stop();
  const std::string log = log_.str();
  EXPECT_NE(log.find(" < 01 05\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" > 02 30 30 31 32 33 34 03\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" # WEIGHT 2 -> OK\n"), std::string::npos) << log;
}

TEST_F(ScaleSimulatorTest, AHungUpLineEndsServingWithAnError) {
  Start();
  close(scale_[0]);
  scale_[0] = -1;
  thread_.join();
  EXPECT_FALSE(served_);
  EXPECT_NE(simulator_->Error().find("scale line"), std::string::npos) << simulator_->Error();
}

TEST(ScaleSimulatorConstructionTest, RefusesAnUnknownProtocol) {
  SimulatorSettings settings;
  settings.protocol = "acme";
  EXPECT_THROW(ScaleSimulator(-1, -1, settings), std::invalid_argument);
}

}  // namespace
}  // namespace trv::tools
