#include "platform/TimerQueue.h"

#include <algorithm>
#include <vector>

#include "platform/Clock.h"

namespace trv::platform {
namespace {

// The first moment of the period that starts at `at` that is not before `now`.
uint64_t NextOnPeriod(uint64_t at, uint32_t interval, uint64_t now) {
  if (now <= at || interval == 0) return at;
  return at + (now - at + interval - 1) / interval * interval;
}

}  // namespace

TimerQueue::Entry* TimerQueue::Find(TTimer* timer) {
  const auto entry =
      std::find_if(due_.begin(), due_.end(), [timer](const Entry& e) { return e.timer == timer; });
  return entry == due_.end() ? nullptr : &*entry;
}

void TimerQueue::Start(TTimer& timer) {
  const uint64_t at = CurrentClock().Milliseconds() + timer.Interval();
  if (Entry* entry = Find(&timer)) {
    *entry = Entry{&timer, at};
  } else {
    due_.push_back(Entry{&timer, at});
  }
}

void TimerQueue::Stop(TTimer& timer) {
  std::erase_if(due_, [&timer](const Entry& e) { return e.timer == &timer; });
}

int TimerQueue::RunDue() {
  const uint64_t now = CurrentClock().Milliseconds();
  firing_.clear();
  for (const Entry& entry : due_) {
    if (entry.at <= now) firing_.push_back(entry.timer);
  }
  int fired = 0;
  // By index: a tick may start another round of RunDue (a message box's loop) that reuses
  // firing_; what it fired is then no longer due here.
  for (size_t i = 0; i < firing_.size(); ++i) {
    TTimer* timer = firing_[i];
    // An earlier tick of this round may have stopped or restarted this timer.
    Entry* entry = Find(timer);
    if (entry == nullptr || entry->at > now) continue;
    *entry = Entry{timer, now + timer->Interval()};
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
    const uint64_t now = clock.Milliseconds();
    if (now >= end) return;
    WaitForNextTick(clock, now, end);
  }
}

void TimerQueue::WaitForNextTick(Clock& clock, uint64_t now, uint64_t end) {
  // Timers that must tick on time set the limit; idle ones are watched through their source.
  // A manual clock's time does not pass while the system waits, so there every timer ticks.
  const bool mayWatch = skipIdleTicks_ && &clock == &SystemClock() && CanWaitForInput();
  uint64_t next = end;
  idle_.clear();
  watches_.clear();
  for (size_t i = 0; i < due_.size(); ++i) {
    const intptr_t descriptor =
        mayWatch && !due_[i].awake ? due_[i].timer->IdleDescriptor() : intptr_t{-1};
    if (descriptor >= 0) {
      idle_.push_back(i);
      watches_.push_back(InputWatch{descriptor, false});
    } else {
      next = std::min(next, due_[i].at);
    }
  }
  const auto wait =
      static_cast<uint32_t>(std::min<uint64_t>(std::max(next, now) - now, UINT32_MAX));
  if (idle_.empty()) {
    clock.Sleep(wait);
    return;
  }
  WaitForInput(watches_.data(), watches_.size(), wait);
  // The ticks left out were those that would have found no input. A timer whose source has
  // input ticks at the next moment of its period; the others move on to theirs.
  const uint64_t after = clock.Milliseconds();
  for (size_t k = 0; k < idle_.size(); ++k) {
    Entry& entry = due_[idle_[k]];
    entry.at = NextOnPeriod(entry.at, entry.timer->Interval(), after);
    entry.awake = watches_[k].ready;
  }
}

bool TimerQueue::NextDue(uint64_t& at) const {
  if (due_.empty()) return false;
  at = std::min_element(due_.begin(), due_.end(), [](const Entry& a, const Entry& b) {
         return a.at < b.at;
       })->at;
  return true;
}

}  // namespace trv::platform
