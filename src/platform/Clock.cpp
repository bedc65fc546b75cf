#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace trv::platform {
namespace {

class SteadyClock final : public Clock {
 public:
  uint64_t Milliseconds() override {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  void Yield() override { std::this_thread::yield(); }
};

Clock* current = nullptr;

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

Clock& CurrentClock() {
  return current != nullptr ? *current : SystemClock();
}

ScopedClock::ScopedClock(Clock& clock) : previous_(current) {
  current = &clock;
}

ScopedClock::~ScopedClock() {
  current = previous_;
}

}  // namespace trv::platform
