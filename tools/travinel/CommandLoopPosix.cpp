#include <signal.h>

#include "CommandLoop.h"
#include "StopSignalSet.h"
#include "platform/TimerQueue.h"

namespace trv::cli {
namespace {

// The stop signals stay blocked while the loop lives and are taken from the pending set.
sigset_t previousMask;
bool interrupted = false;

bool TakePendingStop() {
  const sigset_t set = StopSignalSet();
  const timespec now{0, 0};
  return sigtimedwait(&set, nullptr, &now) > 0;
}

}  // namespace

CommandLoop::CommandLoop() {
  const sigset_t set = StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, &previousMask);
  interrupted = false;
}

CommandLoop::~CommandLoop() {
  while (TakePendingStop()) {
  }
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

bool CommandLoop::RunFor(uint32_t milliseconds) {
  auto& timers = dynamic_cast<platform::TimerQueue&>(platform::CurrentTimerService());
  timers.RunFor(milliseconds);
  if (TakePendingStop()) interrupted = true;
  return !interrupted;
}

bool CommandLoop::Interrupted() const {
  return interrupted;
}

}  // namespace trv::cli
