#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/TrvSerial.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv::testing {

// A serial port on the scriptable fake and a manual clock, with the status reports recorded.
class SerialFixture : public ::testing::Test {
 protected:
  SerialFixture() : serial_(MakePort()) {
    serial_.SetOnStatus([this](TTrvSerial*, THookSerialReason reason, const std::string& value) {
      reports_.emplace_back(reason, value);
    });
  }

  // Connects to a port the fake knows, and forgets what connecting logged.
  void ConnectFresh(const std::string& name = "COM2") {
    serial_.Connect(name);
    ASSERT_EQ(serial_.LastError(), 0);
    port_->ClearCalls();
    reports_.clear();
  }

  uint64_t Now() { return clock_.Milliseconds(); }

  platform::ManualClock clock_{1000};
  platform::ScopedClock scopedClock_{clock_};
  // Declared before serial_, whose destructor still reports its close.
  std::vector<std::pair<THookSerialReason, std::string>> reports_;
  CommPortFake* port_ = nullptr;  // owned by serial_
  TTrvSerial serial_;

 private:
  std::unique_ptr<CommPort> MakePort() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    return port;
  }
};

}  // namespace trv::testing
