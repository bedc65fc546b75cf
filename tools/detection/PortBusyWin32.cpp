#include <windows.h>

#include "PortBusy.h"

namespace trv::detection {

bool IsPortBusyError(int code) {
  // A COM port is opened without sharing: a second opener is denied access.
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

}  // namespace trv::detection
