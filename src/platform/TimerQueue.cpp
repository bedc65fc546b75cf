#include "platform/TimerQueue.h"

#include <algorithm>
#include <vector>

#include "platform/Clock.h"

namespace trv::platform {

TimerQueue::Entry* TimerQueue::Find(TTimer* timer) {
  const auto entry =
      std::find_if(due_.begin(), due_.end(), [timer](const Entry& e) { return e.first == timer; });
  return entry == due_.end() ? nullptr : &*entry;
}

void TimerQueue::Start(TTimer& timer) {
  const uint64_t at = CurrentClock().Milliseconds() + timer.Interval();
  if (Entry* entry = Find(&timer)) {
    entry->second = at;
  } else {
    due_.emplace_back(&timer, at);
  }
}

void TimerQueue::Stop(TTimer& timer) {
  std::erase_if(due_, [&timer](const Entry& e) { return e.first == &timer; });
}

int TimerQueue::RunDue() {
  const uint64_t now = CurrentClock().Milliseconds();
  firing_.clear();
  for (const auto& [timer, at] : due_) {
    if (at <= now) firing_.push_back(timer);
  }
  int fired = 0;
  // By index: a tick may start another round of RunDue (a message box's loop) that reuses
  // firing_; what it fired is then no longer due here.
  for (size_t i = 0; i < firing_.size(); ++i) {
    TTimer* timer = firing_[i];
    // An earlier tick of this round may have stopped or restarted this timer.
    Entry* entry = Find(timer);
    if (entry == nullptr || entry->second > now) continue;
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
