#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/Text.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"
#include "serial/UsbIdentity.h"

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

// ---- What sysfs says of a terminal -----------------------------------------------------------
//
// /sys/class/tty/<name>/device leads to the device behind the terminal: for a USB serial
// adapter the port (ttyUSB: .../1-1/1-1:1.0/ttyUSB0) or the interface (ttyACM: .../1-2:1.0),
// whose parents include the USB device folder with idVendor, idProduct and, when the adapter
// has them, serial, product and manufacturer; for a UART a platform, PNP or PCI device. A
// pseudo-terminal has no entry there.

// A sysfs attribute's text without the newline the kernel ends it with (blanks at both ends
// go too); empty when the file is missing or cannot be read.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "";
  char text[256];
  in.read(text, sizeof text);
  return platform::Trim(std::string_view(text, static_cast<size_t>(in.gcount())));
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

std::string LinkName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? "" : target.filename().string();
}

// The name of the driver behind a terminal's device ("ftdi_sio", "cdc_acm", "serial8250"). Since
// Linux 6.5 a UART's terminal hangs from the serial core's port and controller devices (bus
// serial-base, drivers "port" and "ctrl"), which say nothing: the driver is their parent's.
std::string DriverOf(fs::path device, const fs::path& top) {
  while (LinkName(device / "subsystem") == "serial-base" && device.parent_path() != top &&
         device.has_relative_path()) {
    device = device.parent_path();
  }
  return LinkName(device / "driver");
}

// Fills the description and the USB identity of port from what sysfs (under sysRoot) shows of
// the terminal `name` (ttyUSB0); leaves them empty where it shows nothing.
void Describe(const fs::path& sysRoot, const std::string& name, SerialPortEntry& port) {
  if (name.empty() || name == "." || name == "..") return;
  std::error_code error;
  const fs::path device = fs::canonical(sysRoot / "class" / "tty" / name / "device", error);
  if (error) return;
  const fs::path top = fs::canonical(sysRoot, error);
  if (error) return;
  if (std::mismatch(top.begin(), top.end(), device.begin(), device.end()).first != top.end()) {
    return;  // a link that leaves sysfs
  }
  // The nearest folder up from the device (within sysfs) that is a USB device's.
  fs::path usb;
  for (fs::path folder = device; folder != top && folder.has_relative_path();
       folder = folder.parent_path()) {
    if (Exists(folder / "idVendor") || Exists(folder / "idProduct")) {
      usb = folder;
      break;
    }
  }
  if (!usb.empty()) {
    port.vendorId = UsbIdText(Attribute(usb / "idVendor"));
    port.productId = UsbIdText(Attribute(usb / "idProduct"));
    if (port.vendorId.empty() || port.productId.empty()) port.vendorId = port.productId = "";
    if (!port.vendorId.empty()) port.serialNumber = Attribute(usb / "serial");
    port.description = Attribute(usb / "product");
  }
  if (port.description.empty()) port.description = DriverOf(device, top);
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

std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& deviceFolder,
                                               const std::string& sysFolder) {
  const fs::path folder(deviceFolder);
  std::vector<SerialPortEntry> ports = Entries(folder, IsUartNode);
  std::vector<SerialPortEntry> usb = Entries(folder, IsUsbNode);
  // ttyUSB before ttyACM, as natural order of the names gives ttyACM first.
  std::stable_partition(usb.begin(), usb.end(), [](const SerialPortEntry& port) {
    return port.name.find("/ttyUSB") != std::string::npos;
  });
  ports.insert(ports.end(), usb.begin(), usb.end());
  // The kernel's nodes carry the kernel's names, those of sysfs.
  for (SerialPortEntry& port : ports) {
    Describe(sysFolder, fs::path(port.name).filename().string(), port);
  }
  // A stable name is the adapter of the node it leads to; one whose node was not listed (the
  // name leads elsewhere) is described by the name of its device.
  std::vector<SerialPortEntry> byId = Entries(folder / "serial" / "by-id", IsLiveLink);
  for (SerialPortEntry& link : byId) {
    const auto node = std::find_if(ports.begin(), ports.end(), [&](const SerialPortEntry& port) {
      return port.device == link.device;
    });
    if (node != ports.end()) {
      link.description = node->description;
      link.vendorId = node->vendorId;
      link.productId = node->productId;
      link.serialNumber = node->serialNumber;
    } else {
      Describe(sysFolder, fs::path(link.device).filename().string(), link);
    }
  }
  ports.insert(ports.end(), byId.begin(), byId.end());
  return ports;
}

std::vector<SerialPortEntry> ListSerialPorts() {
  return ListSerialPortsIn("/dev", "/sys");
}

}  // namespace trv
