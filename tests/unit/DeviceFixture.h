#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "device/TrvDevice.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv {

// A communication device on a scriptable fake port, with a manual clock standing for the
// system's while the test runs.
class DeviceFixture : public ::testing::Test {
 protected:
  DeviceFixture() : device_(nullptr, MakePort()) {}

  std::unique_ptr<CommPort> MakePort() {
    auto port = std::make_unique<CommPortFake>(clock_);
    port_ = port.get();
    return port;
  }

  platform::ManualClock clock_{5000};
  platform::ScopedClock scopedClock_{clock_};
  CommPortFake* port_ = nullptr;
  TTrvDevice device_;
};

}  // namespace trv
