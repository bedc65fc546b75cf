#include <cerrno>

#include "PortBusy.h"

namespace trv::detection {

bool IsPortBusyError(int code) {
  return code == EBUSY;
}

}  // namespace trv::detection
