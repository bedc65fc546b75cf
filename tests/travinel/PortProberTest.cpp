// The search of one port on the scriptable port and a manual clock: what is sent at which
// line setting, what is heard, and that the port is closed at the end.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "PortProber.h"
#include "platform/Locale.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv::detection {
namespace {

#ifdef _WIN32
constexpr int kBusyCode = 5;  // ERROR_ACCESS_DENIED
#else
constexpr int kBusyCode = EBUSY;
#endif
constexpr char kDevice[] = "/dev/ttyUSB9";
const Bytes ENQ = "\x05";

class PortProberTest : public ::testing::Test {
 protected:
  PortOutcome Probe(uint64_t budgetMs = 25000) {
    PortOutcome outcome;
    outcome.port = outcome.device = kDevice;
    prober_.Probe(
        outcome, clock_.Milliseconds() + budgetMs,
        [this](const LineSetting& line, size_t, size_t) { tried_.push_back(line.Text()); });
    return outcome;
  }

  // Answers `answer` to `request` when the line is set as `line` ("4800 7E1"), and at other
  // settings `otherwise` (nothing when empty).
  void AnswerAt(const Bytes& request, const std::string& line, const Bytes& answer,
                const Bytes& otherwise = "") {
    port_->SetResponder([=, this](const Bytes& written) {
      if (written != request) return;
      const Bytes& sent = tried_.back() == line ? answer : otherwise;
      if (!sent.empty()) port_->ArriveAfter(30, sent);
    });
  }

  platform::ManualClock clock_{10000};
  platform::ScopedClock scopedClock_{clock_};
  platform::ScopedDecimalSeparator separator_{','};
  CommPortFake* port_ = nullptr;  // owned by prober_
  PortProber prober_{MakePort()};
  std::vector<std::string> tried_;

 private:
  std::unique_ptr<CommPort> MakePort() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    return port;
  }
};

TEST_F(PortProberTest, AsksEachDistinctRequestAndFindsAPolledScale) {
  AnswerAt("P", "9600 8N1", "PESO 1.234 kg\r\n");
  const PortOutcome outcome = Probe();
  ASSERT_EQ(outcome.kind, PortOutcome::Kind::kFound);
  EXPECT_EQ(outcome.reading.model, 6);
  EXPECT_EQ(outcome.reading.name, "Magna");
  EXPECT_DOUBLE_EQ(outcome.reading.weight, 1.234);
  EXPECT_EQ(outcome.line.Text(), "9600 8N1");
  EXPECT_EQ(port_->Written(), ENQ + "P");  // ENQ once for the six models that ask with it
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(PortProberTest, HearsAStreamingScaleWithoutAsking) {
  for (uint64_t at = 10000; at < 40000; at += 100) port_->ArriveAt(at, "E01.234\r");
  const PortOutcome outcome = Probe();
  ASSERT_EQ(outcome.kind, PortOutcome::Kind::kFound);
  EXPECT_EQ(outcome.reading.model, 7);
  EXPECT_DOUBLE_EQ(outcome.reading.weight, 1.234);
  EXPECT_EQ(port_->Written(), "");
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(PortProberTest, TriesEverySettingOfASilentPortInOrderWithinTheBudget) {
  const PortOutcome outcome = Probe();
  EXPECT_EQ(outcome.kind, PortOutcome::Kind::kSilent);
  const std::vector<std::string> expected = {"9600 8N1", "9600 7E1",  "9600 8N2",  "4800 8N1",
                                             "4800 7E1", "4800 8N2",  "2400 8N1",  "2400 7E1",
                                             "2400 8N2", "19200 8N1", "19200 7E1", "19200 8N2"};
  EXPECT_EQ(tried_, expected);
  std::string requests;
  for (size_t i = 0; i < expected.size(); ++i) requests += ENQ + "P";
  EXPECT_EQ(port_->Written(), requests);
  // A silent port is the slowest: four of them in parallel must still end well within 30 s.
  EXPECT_LE(clock_.Milliseconds() - 10000, 20000u);
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(PortProberTest, FindsTheSettingAtWhichTheAnswerIsText) {
  // At 9600 8N1 a 7E1 scale's answer comes with its parity bits read as data.
  AnswerAt(ENQ, "4800 7E1",
           "\x02"
           "01.234\x03",
           "\x82\xB0\xB1\xAE\xB2\xB3\x34\x83");
  const PortOutcome outcome = Probe();
  ASSERT_EQ(outcome.kind, PortOutcome::Kind::kFound);
  EXPECT_EQ(outcome.line.Text(), "4800 7E1");
  EXPECT_EQ(port_->State().ByteSize, 7);
  EXPECT_EQ(port_->State().BaudRate, 4800u);
}

TEST_F(PortProberTest, LeavesAPortAnotherProgramHoldsAlone) {
  port_->SetOpenError(kDevice, kBusyCode);
  const PortOutcome outcome = Probe();
  EXPECT_EQ(outcome.kind, PortOutcome::Kind::kBusy);
  EXPECT_EQ(outcome.Description(), "em uso (outro programa está com a porta aberta)");
  EXPECT_EQ(port_->Written(), "");
  EXPECT_TRUE(tried_.empty());
}

TEST_F(PortProberTest, ReportsAPortThatTakesNoLineSetting) {
  port_->Fail(CommPortFake::Call::SetState, 87);
  const PortOutcome outcome = Probe();
  EXPECT_EQ(outcome.kind, PortOutcome::Kind::kOpenFailed);
  EXPECT_EQ(outcome.reason.rfind("9600 8N1: ", 0), 0u) << outcome.reason;
  EXPECT_EQ(tried_.size(), 12u);
  EXPECT_EQ(port_->Written(), "");  // nothing is sent on a line set wrong
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(PortProberTest, ReportsAScaleThatAnswersWithoutAWeight) {
  AnswerAt(ENQ, "9600 8N1",
           "\x02"
           "000000\x03");
  const PortOutcome outcome = Probe();
  EXPECT_EQ(outcome.kind, PortOutcome::Kind::kNoWeight);
  EXPECT_EQ(outcome.line.Text(), "9600 8N1");
  EXPECT_EQ(tried_.size(), 12u);  // another setting might still have given a weight
}

TEST_F(PortProberTest, BeginsNoSettingThatCouldOutlastTheDeadline) {
  const PortOutcome outcome = Probe(8000);
  EXPECT_EQ(outcome.kind, PortOutcome::Kind::kOutOfTime);
  EXPECT_LT(tried_.size(), 12u);
  EXPECT_LE(clock_.Milliseconds() - 10000, 8000u);
  EXPECT_FALSE(port_->IsOpen());
}

}  // namespace
}  // namespace trv::detection
