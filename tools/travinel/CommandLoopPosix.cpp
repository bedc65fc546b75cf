#include <signal.h>

#include "CommandLoop.h"
#include "platform/TimerQueue.h"

namespace trv::cli {
namespace {

// The stop signals stay blocked while the loop lives and are taken from the pending set, so no
// handler runs and no system call of the serial port is interrupted by them.
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

sigset_t previousMask;
bool interrupted = false;

bool TakePendingStop() {
  const sigset_t set = StopSignals();
  const timespec now{0, 0};
  return sigtimedwait(&set, nullptr, &now) > 0;
}

}  // namespace

CommandLoop::CommandLoop() {
  const sigset_t set = StopSignals();
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
