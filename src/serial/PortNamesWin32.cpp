#include <windows.h>

#include <string>

#include "platform/TextWin32.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv {
namespace {

constexpr int kHighestComNumber = 256;

// A port exists unless opening it says there is no such device; one that another program holds
// (access denied, sharing violation) exists all the same.
bool ComPortExists(const std::string& path) {
  const std::wstring name = platform::Utf8ToWide(path);
  SetLastError(0);
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return true;
  }
  const DWORD code = GetLastError();
  return code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND;
}

}  // namespace

// Windows names its serial devices COMn and \\.\COMn only.
bool IsPlatformSerialPath(const std::string&) {
  return false;
}

std::vector<SerialPortEntry> ListSerialPorts() {
  std::vector<SerialPortEntry> ports;
  for (int number = 1; number <= kHighestComNumber; ++number) {
    const std::string device = NumberedPortPath(number - 1);
    if (ComPortExists(device)) ports.push_back({"COM" + std::to_string(number), device});
  }
  return ports;
}

}  // namespace trv
