#include <poll.h>

#include <climits>
#include <vector>

#include "platform/InputWait.h"

namespace trv::platform {

bool CanWaitForInput() {
  return true;
}

int WaitForInput(InputWatch* watches, size_t count, uint32_t timeoutMs) {
  thread_local std::vector<pollfd> fds;
  fds.resize(count);
  for (size_t i = 0; i < count; ++i) {
    fds[i] = pollfd{static_cast<int>(watches[i].descriptor), POLLIN, 0};
    watches[i].ready = false;
  }
  const int timeout = timeoutMs > INT_MAX ? INT_MAX : static_cast<int>(timeoutMs);
  const int result = poll(fds.data(), fds.size(), timeout);
  // An interrupted wait ends early with nothing ready: the caller looks at the time again.
  if (result <= 0) return 0;
  int found = 0;
  for (size_t i = 0; i < count; ++i) {
    watches[i].ready = (fds[i].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
    found += watches[i].ready ? 1 : 0;
  }
  return found;
}

}  // namespace trv::platform
