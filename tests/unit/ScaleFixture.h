#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Locale.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "testing/CommPortFake.h"
#include "testing/ExceptionMessage.h"
#include "testing/ManualClock.h"

namespace trv::testing {

// The control bytes of the scale protocols.
inline const Bytes STX = "\x02";
inline const Bytes ETX = "\x03";
inline const Bytes ENQ = "\x05";
inline const Bytes CR = "\r";
inline const Bytes LF = "\n";

// An answer as the scale sends it and the weight or code a driver reads from it.
struct AnswerCase {
  Bytes answer;
  double weight;
};

// Parses every answer with either decimal separator and checks the weight or code it gives.
template <size_t N, typename Parse>
void ExpectEveryAnswerGivesItsWeight(const AnswerCase (&cases)[N], Parse parse) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    for (const AnswerCase& c : cases) {
      EXPECT_DOUBLE_EQ(parse(c.answer), c.weight)
          << "answer \"" << c.answer << "\" with separator " << separator;
    }
  }
}

// A scale component on the scriptable port, a manual clock and a timer queue, with every
// OnLePeso recorded.
class ScaleFixture : public ::testing::Test {
 protected:
  struct Reading {
    double weight;
    Bytes answer;
  };

  ScaleFixture() : scale_(nullptr, MakePort()) {
    scale_.OnLePeso = [this](double peso, const Bytes& resposta) {
      readings_.push_back({peso, resposta});
    };
  }

  // How many times the port was purged since its calls were last cleared.
  int Purges() const {
    int purges = 0;
    for (const std::string& call : port_->Calls()) purges += call == "Purge 15";
    return purges;
  }

  // Answers every request with the next of `answers` (the last one repeats), `delay` ms later.
  void AnswerWith(std::vector<Bytes> answers, uint64_t delay = 10) {
    port_->SetResponder([this, answers, delay](const Bytes&) {
      const size_t index = std::min(requests_, answers.size() - 1);
      ++requests_;
      if (!answers[index].empty()) port_->ArriveAfter(delay, answers[index]);
    });
  }

  // A reading answered at once by `answer`: one `request` after one purge, the answer read
  // after the 200 ms pause, `kept` kept and raised once with the weight.
  void ExpectOneRequestAfterPurgeAndPause(const Bytes& answer, double weight, const Bytes& request,
                                          const Bytes& kept) {
    AnswerWith({answer});
    port_->ClearCalls();
    const uint64_t start = clock_.Milliseconds();
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), weight);
    EXPECT_EQ(port_->Written(), request);
    EXPECT_EQ(Purges(), 1);
    EXPECT_EQ(clock_.Milliseconds() - start, 200u);  // the answer waited for the pause
    EXPECT_EQ(scale_.UltimaResposta(), kept);
    ASSERT_EQ(readings_.size(), 1u);
    EXPECT_DOUBLE_EQ(readings_[0].weight, weight);
    EXPECT_EQ(readings_[0].answer, kept);
  }

  // A reading of a scale that never answers: one `request`, -9 after `elapsed` ms, `kept` kept.
  void ExpectASilentScaleIsAReadFailure(const Bytes& request, uint64_t elapsed, const Bytes& kept) {
    const uint64_t start = clock_.Milliseconds();
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -9);
    EXPECT_EQ(port_->Written(), request);
    EXPECT_EQ(clock_.Milliseconds() - start, elapsed);
    EXPECT_EQ(scale_.UltimaResposta(), kept);
  }

  // Each request is answered by `first` after 250 ms and by `rest` 50 ms later, when the
  // driver has already read.
  void AnswerSplit(const Bytes& first, const Bytes& rest) {
    port_->SetResponder([this, first, rest](const Bytes&) {
      port_->ArriveAfter(250, first);
      port_->ArriveAfter(300, rest);
    });
  }

  // `answer` arrives without a request and one reception reads it as `weight`, keeping `kept`.
  void ExpectUnsolicitedAnswerParsed(const Bytes& answer, double weight, const Bytes& kept) {
    port_->ArriveAt(clock_.Milliseconds(), answer);
    scale_.BAL().LeSerial(500);
    EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), weight);
    EXPECT_EQ(scale_.UltimaResposta(), kept);
    EXPECT_TRUE(port_->Written().empty());
  }

  // A reception on the closed port fails without raising and reads no weight.
  void ExpectReceptionNeverRaises() {
    scale_.Desativar();
    EXPECT_NO_THROW(scale_.BAL().LeSerial(500));
    EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), -9);
  }

  // After a reading of `weight` (from `answer`), a request that cannot be written raises and
  // leaves the reading cleared.
  void ExpectAFailingSendClearsTheReading(const Bytes& answer, double weight) {
    AnswerWith({answer});
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), weight);
    port_->Fail(CommPortFake::Call::Write, 1117);
    EXPECT_THROW(scale_.LePeso(2000), Exception);
    EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), 0);
    EXPECT_EQ(scale_.UltimaResposta(), "");
  }

  platform::ManualClock clock_{10000};
  platform::ScopedClock scopedClock_{clock_};
  platform::TimerQueue timers_;
  platform::ScopedTimerService scopedTimers_{timers_};
  platform::ScopedDecimalSeparator separator_{','};
  std::vector<Reading> readings_;
  size_t requests_ = 0;
  CommPortFake* port_ = nullptr;  // owned by scale_
  TTrvBAL scale_;

 private:
  std::unique_ptr<CommPort> MakePort() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    return port;
  }
};

// A scale component of one model, active from the start of each test.
template <uint8_t Model>
class ActiveScaleFixture : public ScaleFixture {
 protected:
  void SetUp() override {
    scale_.SetModelo(Model);
    scale_.Ativar();
  }
};

}  // namespace trv::testing
