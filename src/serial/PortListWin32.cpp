// The serial ports of a Windows machine: COM1 to COM256 as opening them finds them, described by
// what SetupAPI knows of the devices of the ports class. Apart from PortNamesWin32 so that only
// programs that list ports import setupapi.dll (the control does not).

#include <windows.h>
// windows.h first.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/TextWin32.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"
#include "serial/SerialPortsWin32.h"
#include "serial/UsbIdentity.h"

namespace trv {
namespace {

constexpr int kHighestComNumber = 256;

// GUID_DEVCLASS_PORTS (devguid.h): serial and parallel ports.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// COMn with n from 1 to 256 (any letter case): n; 0 for any other port name (LPT1, CNCA0).
int ComNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6 || platform::AsciiUpper(name.substr(0, 3)) != "COM") {
    return 0;
  }
  const std::string digits = name.substr(3);
  if (digits.front() == '0' || digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const int number = std::stoi(digits);
  return number <= kHighestComNumber ? number : 0;
}

// A wide text from a buffer of UTF-16 units, up to its first NUL.
std::string TextOf(const std::vector<wchar_t>& buffer) {
  std::wstring text(buffer.begin(), buffer.end());
  text.resize(text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0'));
  return platform::WideToUtf8(text);
}

// A device's registry property that is a text (SPDRP_FRIENDLYNAME); empty when it has none.
std::string DeviceText(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0;
  DWORD size = 0;
  SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type, nullptr, 0, &size);
  if (size == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return "";
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(
          devices, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
          static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), nullptr) ||
      type != REG_SZ) {
    return "";
  }
  return TextOf(buffer);
}

// The device's "PortName" value (COM3) in its hardware key; empty when it has none.
std::string PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  HKEY key =
      SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE || key == nullptr) return "";
  DWORD type = 0;
  DWORD size = 0;
  std::string name;
  if (RegQueryValueExW(key, L"PortName", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_SZ && size > 0) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &got) == ERROR_SUCCESS &&
        type == REG_SZ) {
      name = TextOf(buffer);
    }
  }
  RegCloseKey(key);
  return name;
}

// The device's instance id (USB\VID_0403&PID_6001\A50285BI); empty when it cannot be read.
std::string InstanceIdOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  DWORD size = 0;
  SetupDiGetDeviceInstanceIdW(devices, &device, nullptr, 0, &size);
  if (size == 0) return "";
  std::vector<wchar_t> buffer(size + 1, L'\0');
  if (!SetupDiGetDeviceInstanceIdW(devices, &device, buffer.data(),
                                   static_cast<DWORD>(buffer.size()), nullptr)) {
    return "";
  }
  return TextOf(buffer);
}

// The instance id of a device's parent (the composite USB device of an interface).
std::string ParentInstanceIdOf(DEVINST device) {
  DEVINST parent = 0;
  ULONG length = 0;
  if (CM_Get_Parent(&parent, device, 0) != CR_SUCCESS ||
      CM_Get_Device_ID_Size(&length, parent, 0) != CR_SUCCESS) {
    return "";
  }
  std::vector<wchar_t> buffer(length + 1, L'\0');
  if (CM_Get_Device_IDW(parent, buffer.data(), static_cast<ULONG>(buffer.size()), 0) !=
      CR_SUCCESS) {
    return "";
  }
  return TextOf(buffer);
}

// The USB identity of a ports-class device, from its instance id (or, for an interface of a
// composite device, its parent's for the serial number).
void ReadIdentity(HDEVINFO devices, SP_DEVINFO_DATA& device, SerialPortEntry& port) {
  UsbInstanceId id;
  if (!ParseUsbInstanceId(InstanceIdOf(devices, device), id)) return;
  if (id.compositeInterface) {
    UsbInstanceId parent;
    if (ParseUsbInstanceId(ParentInstanceIdOf(device.DevInst), parent) &&
        parent.vendorId == id.vendorId && parent.productId == id.productId) {
      id.serialNumber = parent.serialNumber;
    }
  }
  port.vendorId = id.vendorId;
  port.productId = id.productId;
  port.serialNumber = id.serialNumber;
}

}  // namespace

std::vector<SerialPortEntry> ListSetupApiPorts() {
  std::vector<SerialPortEntry> ports;
  HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return ports;
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(devices, index, &device)) break;
    const int number = ComNumber(PortNameOf(devices, device));
    if (number == 0) continue;
    SerialPortEntry port{"COM" + std::to_string(number), NumberedPortPath(number - 1)};
    port.description = DeviceText(devices, device, SPDRP_FRIENDLYNAME);
    if (port.description.empty()) port.description = DeviceText(devices, device, SPDRP_DEVICEDESC);
    ReadIdentity(devices, device, port);
    ports.push_back(port);
  }
  SetupDiDestroyDeviceInfoList(devices);
  return ports;
}

// The ports opening finds; SetupAPI only describes them (one it knows that cannot be opened as
// \\.\COMn is no port to give the scale; one it does not know is listed all the same).
std::vector<SerialPortEntry> ListSerialPorts() {
  const std::vector<SerialPortEntry> known = ListSetupApiPorts();
  std::vector<SerialPortEntry> ports;
  for (int number = 1; number <= kHighestComNumber; ++number) {
    const std::string device = NumberedPortPath(number - 1);
    if (!ComPortExists(device)) continue;
    SerialPortEntry port{"COM" + std::to_string(number), device};
    for (const SerialPortEntry& described : known) {
      if (described.name == port.name) {
        port = described;
        break;
      }
    }
    ports.push_back(port);
  }
  return ports;
}

}  // namespace trv
