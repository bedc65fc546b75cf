#include "platform/TimerQueue.h"

#include <algorithm>
#include <vector>

#include "platform/Clock.h"

namespace trv::platform {

void TimerQueue::Start(TTimer& timer) {
  due_[&timer] = CurrentClock().Milliseconds() + timer.Interval();
}

void TimerQueue::Stop(TTimer& timer) {
  due_.erase(&timer);
}

int TimerQueue::RunDue() {
  const uint64_t now = CurrentClock().Milliseconds();
  std::vector<TTimer*> due;
  for (const auto& [timer, at] : due_) {
    if (at <= now) due.push_back(timer);
  }
  int fired = 0;
  for (TTimer* timer : due) {
    // An earlier tick of this round may have stopped or restarted this timer.
    auto entry = due_.find(timer);
    if (entry == due_.end() || entry->second > now) continue;
    entry->second = now + timer->Interval();
    timer->Tick();
    ++fired;
  }
  return fired;
}

void TimerQueue::RunFor(uint64_t milliseconds) {
  Clock& clock = CurrentClock();
  const uint64_t end = clock.Milliseconds() + milliseconds;
  for (;;) {
    RunDue();
    uint64_t next = end;
    if (NextDue(next)) next = std::min(next, end);
    const uint64_t now = clock.Milliseconds();
    if (now >= end) return;
    clock.Sleep(static_cast<uint32_t>(std::max<uint64_t>(next, now) - now));
  }
}

bool TimerQueue::NextDue(uint64_t& at) const {
  if (due_.empty()) return false;
  at = std::min_element(due_.begin(), due_.end(), [](const auto& a, const auto& b) {
         return a.second < b.second;
       })->second;
  return true;
}

}  // namespace trv::platform
