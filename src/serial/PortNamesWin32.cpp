#include <windows.h>

#include <string>

#include "platform/Text.h"
#include "platform/TextWin32.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"
#include "serial/SerialPortsWin32.h"

namespace trv {
namespace {

constexpr int kHighestComNumber = 256;

// COMn or \\.\COMn, n from 1 to 256 without leading zeros: the only names of serial ports.
bool IsComName(const std::string& name, std::string& device) {
  const std::string local = "\\\\.\\";
  const std::string rest = name.rfind(local, 0) == 0 ? name.substr(local.size()) : name;
  if (rest.size() < 4 || rest.size() > 6) return false;
  if (platform::AsciiUpper(rest.substr(0, 3)) != "COM") return false;
  const std::string digits = rest.substr(3);
  if (digits.front() == '0' || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int number = std::stoi(digits);
  if (number > kHighestComNumber) return false;
  device = NumberedPortPath(number - 1);
  return true;
}

}  // namespace

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

bool ResolveSerialDevice(const std::string& name, std::string& device) {
  return IsComName(name, device) && ComPortExists(device);
}

// Windows names its serial devices COMn and \\.\COMn only.
bool IsPlatformSerialPath(const std::string&) {
  return false;
}

// ListSerialPorts is in PortListWin32.cpp.

}  // namespace trv
