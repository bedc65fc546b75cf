#include <string>
#include <string_view>

#include "serial/CommPort.h"

namespace trv {

bool IsPlatformSerialPath(const std::string& path) {
  for (std::string_view prefix : {"/dev/tty", "/dev/pts/", "/dev/serial/"}) {
    if (path.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

}  // namespace trv
