#pragma once

#include <string>
#include <string_view>

namespace trv {

// A USB vendor or product id as SerialPortEntry holds it: four hexadecimal digits in upper case
// ("0403" from "0403", "1a86" or "1A86"); empty for any other text (blanks at the ends aside).
std::string UsbIdText(std::string_view text);

// What a Windows device instance id says of a USB serial adapter.
struct UsbInstanceId {
  std::string vendorId;
  std::string productId;
  // The adapter's serial number as the id shows it; empty when the device has none.
  std::string serialNumber;
  // The id is one interface of a composite device ("USB\VID_2341&PID_8036&MI_00\..."): the
  // serial number, if any, is on the parent device's id.
  bool compositeInterface = false;
};

// Reads the USB identity from a device instance id, in the shapes the ports class shows:
//   USB\VID_0403&PID_6001\A50285BI              the USB device, its serial number last
//   USB\VID_1A86&PID_7523\5&2D6B3A5F&0&2        no serial number: Windows made the last part up
//                                                (it holds '&', which no real one does here)
//   USB\VID_2341&PID_8036&MI_00\6&3A8D4A4&0&0000  an interface of a composite device
//   FTDIBUS\VID_0403+PID_6001+A50285BIA\0000     FTDI's own bus driver: the serial number with
//                                                one letter per channel appended (A for the
//                                                first), kept as shown, so the identity under
//                                                Windows is not the one Linux gives
// Letter case of the enumerator and of "VID_"/"PID_" does not matter. False, and nothing set,
// for ids of other buses (ACPI\PNP0501\0 for a UART, BTHENUM\... for Bluetooth) and for text of
// another shape.
bool ParseUsbInstanceId(std::string_view instanceId, UsbInstanceId& parsed);

}  // namespace trv
