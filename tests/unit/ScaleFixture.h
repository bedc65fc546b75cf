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

}  // namespace trv::testing
