#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>

#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv {
namespace {

namespace fs = std::filesystem;

// Terminals of the kernel that are no scale's line: the virtual consoles (major 4 below minor
// 64, where the UARTs start) and /dev/tty, /dev/console and /dev/ptmx (major 5).
constexpr unsigned kTtyMajor = 4;
constexpr unsigned kFirstUartMinor = 64;
constexpr unsigned kTtyAuxiliaryMajor = 5;
// Pseudo-terminal slaves (/dev/pts/N), which sysfs does not list.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

bool HasSerialPrefix(const std::string& path) {
  for (std::string_view prefix : {"/dev/tty", "/dev/pts/", "/dev/serial/"}) {
    if (path.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

// prefix followed by one or more digits and nothing else: ttyS0, ttyUSB12.
bool IsNumberedName(const std::string& name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(name.begin() + static_cast<ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The kernel makes a ttyS node for every UART slot it reserves, present or not; a slot without a
// UART reports the type PORT_UNKNOWN (or refuses to open). One that someone else holds, or that
// this user may not open, is a port all the same. A tty that is no UART driver at all (the
// request is not understood) counts too: there is nothing to say it is absent.
bool IsPresentUart(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY || errno == EACCES || errno == EPERM;
  serial_struct info{};
  const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
  ::close(fd);
  return !unknown;
}

// Where a name leads: the device behind a link, the name itself otherwise.
std::string DeviceOf(const fs::path& path) {
  std::error_code error;
  const fs::path target = fs::canonical(path, error);
  return error ? path.string() : target.string();
}

// The entries of folder whose names pass accept, in natural order.
std::vector<SerialPortEntry> Entries(const fs::path& folder,
                                     bool (*accept)(const fs::directory_entry&)) {
  std::vector<SerialPortEntry> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (accept(entry)) found.push_back({entry.path().string(), DeviceOf(entry.path())});
  }
  std::sort(found.begin(), found.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
    return NaturalNameLess(a.name, b.name);
  });
  return found;
}

bool IsUartNode(const fs::directory_entry& entry) {
  return IsNumberedName(entry.path().filename().string(), "ttyS") &&
         IsPresentUart(entry.path().string());
}

bool IsUsbNode(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  std::error_code error;
  return (IsNumberedName(name, "ttyUSB") || IsNumberedName(name, "ttyACM")) &&
         fs::exists(entry.path(), error);
}

bool IsLiveLink(const fs::directory_entry& entry) {
  std::error_code error;
  return fs::exists(entry.path(), error);
}

// Whether sysfs files the character device under the terminal class.
bool IsTerminalClass(unsigned major, unsigned minor) {
  const fs::path node = "/sys/dev/char/" + std::to_string(major) + ":" + std::to_string(minor);
  std::error_code error;
  const fs::path subsystem = fs::canonical(node / "subsystem", error);
  return !error && subsystem.filename() == "tty";
}

}  // namespace

bool ResolveSerialDevice(const std::string& name, std::string& device) {
  std::error_code error;
  const std::string path = fs::canonical(name, error).string();
  if (error || !HasSerialPrefix(path)) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned major = ::major(info.st_rdev);
  const unsigned minor = ::minor(info.st_rdev);
  const bool serial =
      (major >= kFirstPtySlaveMajor && major <= kLastPtySlaveMajor) ||
      (major != kTtyAuxiliaryMajor && !(major == kTtyMajor && minor < kFirstUartMinor) &&
       IsTerminalClass(major, minor));
  if (serial) device = path;
  return serial;
}

bool IsPlatformSerialPath(const std::string& path) {
  if (HasSerialPrefix(path)) return true;
  // A link of the user's (a udev rule's name, a test's pty link) that leads to a serial device.
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return !error && HasSerialPrefix(target.string());
}

std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& deviceFolder) {
  const fs::path folder(deviceFolder);
  std::vector<SerialPortEntry> ports = Entries(folder, IsUartNode);
  std::vector<SerialPortEntry> usb = Entries(folder, IsUsbNode);
  // ttyUSB before ttyACM, as natural order of the names gives ttyACM first.
  std::stable_partition(usb.begin(), usb.end(), [](const SerialPortEntry& port) {
    return port.name.find("/ttyUSB") != std::string::npos;
  });
  ports.insert(ports.end(), usb.begin(), usb.end());
  const std::vector<SerialPortEntry> byId = Entries(folder / "serial" / "by-id", IsLiveLink);
  ports.insert(ports.end(), byId.begin(), byId.end());
  return ports;
}

std::vector<SerialPortEntry> ListSerialPorts() {
  return ListSerialPortsIn("/dev");
}

}  // namespace trv
