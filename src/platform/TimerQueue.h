#pragma once

#include <cstdint>
#include <map>

#include "platform/Timer.h"

namespace trv::platform {

// Timers kept in one queue and fired on the current clock by whoever runs the queue: the
// command-line loop on Linux, and tests on a manual clock.
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
  std::map<TTimer*, uint64_t> due_;
};

}  // namespace trv::platform
