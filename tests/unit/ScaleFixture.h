#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Locale.h"
#include "platform/ManualClock.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "serial/CommPortFake.h"

namespace trv::testing {

// The control bytes of the scale protocols.
inline const Bytes STX = "\x02";
inline const Bytes ETX = "\x03";
inline const Bytes ENQ = "\x05";
inline const Bytes CR = "\r";
inline const Bytes LF = "\n";

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

  // The message of the exception that `action` raises; empty when it raises none.
  template <typename Action>
  static std::string MessageOf(Action action) {
    try {
      action();
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
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
