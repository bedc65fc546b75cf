#include <string>

#include "serial/CommPort.h"

namespace trv {

// Windows names its serial devices COMn and \\.\COMn only.
bool IsPlatformSerialPath(const std::string&) {
  return false;
}

}  // namespace trv
