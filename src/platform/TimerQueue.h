#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Timer.h"

namespace trv::platform {

// Timers kept in one queue and fired on the current clock by whoever runs the queue: the
// command-line loop on Linux, and tests on a manual clock. A handful of timers live here at a
// time, so a plain list serves; once it has grown, a tick and a stop and start of a timer (as
// the scale component's monitoring does on every tick) allocate nothing.
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

 private:
  using Entry = std::pair<TTimer*, uint64_t>;  // a running timer and its next due moment
  Entry* Find(TTimer* timer);

  std::vector<Entry> due_;
  std::vector<TTimer*> firing_;  // the timers of one round, kept to reuse its storage
};

}  // namespace trv::platform
