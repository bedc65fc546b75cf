#pragma once

#include <cstdint>

#include "platform/Clock.h"

namespace trv::platform {

// A clock that moves only when told to, or when someone sleeps on it: sleeping advances it.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(uint64_t start = 0) : now_(start) {}
  uint64_t Milliseconds() override { return now_; }
  void Sleep(uint32_t milliseconds) override { now_ += milliseconds; }
  void Yield() override { ++yields_; }
  void Advance(uint64_t milliseconds) { now_ += milliseconds; }
  void Set(uint64_t milliseconds) { now_ = milliseconds; }
  int Yields() const { return yields_; }

 private:
  uint64_t now_;
  int yields_ = 0;
};

}  // namespace trv::platform
