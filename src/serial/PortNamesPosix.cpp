#include <filesystem>
#include <string>
#include <string_view>

#include "serial/CommPort.h"

namespace trv {
namespace {

bool HasSerialPrefix(const std::string& path) {
  for (std::string_view prefix : {"/dev/tty", "/dev/pts/", "/dev/serial/"}) {
    if (path.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

}  // namespace

bool IsPlatformSerialPath(const std::string& path) {
  if (HasSerialPrefix(path)) return true;
  // A link of the user's (a udev rule's name, a test's pty link) that leads to a serial device.
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return !error && HasSerialPrefix(target.string());
}

}  // namespace trv
