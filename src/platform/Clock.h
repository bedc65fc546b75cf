#pragma once

#include <cstdint>

// <windows.h> defines Yield() as an empty macro (a leftover of 16-bit Windows); it would
// swallow the member below in a file that includes both.
#ifdef Yield
#undef Yield
#endif

namespace trv::platform {

// Time as the system sees it. The serial and scale logic asks the current clock for time and
// sleeps through it, so tests can swap in a manual clock and check time-outs without waiting.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary start, monotonic.
  virtual uint64_t Milliseconds() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Gives up the rest of the time slice (Sleep(0) on Windows).
  virtual void Yield() = 0;
};

// The high-resolution monotonic clock of the platform.
Clock& SystemClock();

// The clock in force: the system clock unless a test installed another one.
Clock& CurrentClock();

// Installs a clock for the lifetime of this object (tests only); restores the previous one.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

}  // namespace trv::platform
