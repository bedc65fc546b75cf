#pragma once

#include <string>
#include <vector>

namespace trv {

// One serial port found on the machine.
struct SerialPortEntry {
  // The name to open it by (a port name for TTrvSerial::Connect and the device's Porta).
  std::string name;
  // The device the name leads to: the name itself, or the target of a link.
  std::string device;
  // What the system calls the port ("FT232R USB UART", "USB Serial Port"); empty when unknown.
  std::string description = {};
  // A USB adapter's vendor and product ids (four hexadecimal digits, upper case) and serial
  // number; empty for other ports, and the serial number for adapters that have none.
  std::string vendorId = {};
  std::string productId = {};
  std::string serialNumber = {};

  // The adapter's identity, the same on whatever socket it is plugged into:
  // "usb:VID:PID:SERIAL" ("usb:VID:PID" without a serial number); empty for other ports.
  std::string Identity() const;
};

// A port's text names an identity ("usb:..."), not a port.
bool IsPortIdentity(const std::string& text);

// The one device among `ports` whose identity is `identity` (ids compared without regard to
// letter case), under the first name it is listed by; false when none has it, or when two
// devices do (two adapters without serial numbers cannot be told apart).
bool FindPortByIdentity(const std::vector<SerialPortEntry>& ports, const std::string& identity,
                        SerialPortEntry& found);

// The serial ports of this machine, the way a user looks for them. On Linux: the /dev/ttyS*
// that are real UARTs, /dev/ttyUSB*, /dev/ttyACM* and the stable names under
// /dev/serial/by-id/, each described from sysfs (a USB adapter's product text and identity, a
// UART's driver; a stable name as the node it leads to). On Windows: COM1 to COM256, those that
// exist (also when another program holds them), described by SetupAPI where it knows them (the
// friendly name; the identity read from the device's instance id). Each group in natural order
// (ttyS2 before ttyS10).
std::vector<SerialPortEntry> ListSerialPorts();

#ifndef _WIN32
// The same search in another folder than /dev, described from another folder than /sys.
std::vector<SerialPortEntry> ListSerialPortsIn(const std::string& deviceFolder,
                                               const std::string& sysFolder = "/sys");
#endif

// The serial device a port's name leads to, found without opening, creating or changing
// anything; false when the name leads to no serial device a scale can be read on. On Linux the
// name's canonical path (no link left to follow), which must be a character device of the
// terminal class (a UART, a USB serial adapter, a pseudo-terminal) under the serial names
// (/dev/tty, /dev/pts/, /dev/serial/), consoles and the terminal multiplexer excepted: a
// regular file, a folder, /dev/null or a missing name is none. On Windows \\.\COMn, from COMn
// or \\.\COMn, for a port the system has.
bool ResolveSerialDevice(const std::string& name, std::string& device);

// Natural order of port names: digit runs compare as numbers, so COM2 comes before COM10.
bool NaturalNameLess(const std::string& a, const std::string& b);

}  // namespace trv
