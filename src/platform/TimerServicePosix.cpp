#include "platform/TimerQueue.h"

namespace trv::platform {

// Without window messages, the process's timers live in one queue that the command's loop runs.
TimerService& SystemTimerService() {
  static TimerQueue queue;
  return queue;
}

}  // namespace trv::platform
