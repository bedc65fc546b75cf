#pragma once

#include <cstdint>
#include <vector>

#include "platform/InputWait.h"
#include "platform/Timer.h"

namespace trv::platform {

class Clock;

// Timers kept in one queue and fired on the current clock by whoever runs the queue: the
// command-line loop on Linux, and tests on a manual clock. A handful of timers live here at a
// time, so a plain list serves; once it has grown, a tick and a stop and start of a timer (as
// the scale component's monitoring does on every tick) allocate nothing.
//
// On the system clock, RunFor leaves out the ticks of a timer with an idle source until its
// descriptor has input (see TTimer::SetIdleSource): an idle scale then costs one wait, not a
// wake-up every period.
class TimerQueue final : public TimerService {
 public:
  void Start(TTimer& timer) override;
  void Stop(TTimer& timer) override;
  void ProcessPending() override { RunDue(); }

  // Fires every timer that is due now, each once; returns how many fired.
  int RunDue();
  // Runs the queue for `milliseconds` of the current clock, sleeping (on a manual clock:
  // advancing) from one due moment to the next.
  void RunFor(uint64_t milliseconds);
  // Moment of the earliest due timer; false when no timer runs.
  bool NextDue(uint64_t& at) const;
  size_t Count() const { return due_.size(); }
  // Whether RunFor leaves out idle ticks (by default it does); off, every tick runs.
  void SetSkipIdleTicks(bool value) { skipIdleTicks_ = value; }

 private:
  struct Entry {
    TTimer* timer;
    uint64_t at;         // next due moment
    bool awake = false;  // its idle source had input: it ticks at `at` whatever the source says
  };
  Entry* Find(TTimer* timer);
  // Sleeps until the next tick that may have work, or `end`.
  void WaitForNextTick(Clock& clock, uint64_t now, uint64_t end);

  std::vector<Entry> due_;
  std::vector<TTimer*> firing_;  // the timers of one round, kept to reuse its storage
  // The idle timers of one wait, with their descriptors and what the wait found.
  std::vector<size_t> idle_;  // indexes into due_
  std::vector<InputWatch> watches_;
  bool skipIdleTicks_ = true;
};

}  // namespace trv::platform
