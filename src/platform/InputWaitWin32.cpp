#include "platform/InputWait.h"

namespace trv::platform {

// Window timers tick on their own; nothing here waits on handles.
bool CanWaitForInput() {
  return false;
}

int WaitForInput(InputWatch* watches, size_t count, uint32_t) {
  for (size_t i = 0; i < count; ++i) watches[i].ready = false;
  return 0;
}

}  // namespace trv::platform
