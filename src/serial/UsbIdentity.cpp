#include "serial/UsbIdentity.h"

#include <algorithm>
#include <vector>

#include "platform/Text.h"

namespace trv {
namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "VID_xxxx" (or "PID_xxxx") at the start of text, case aside: the id, upper case; empty if not.
std::string TaggedId(std::string_view text, std::string_view tag) {
  if (text.size() < tag.size() + 4) return "";
  if (platform::AsciiUpper(std::string(text.substr(0, tag.size()))) != tag) return "";
  const std::string_view digits = text.substr(tag.size(), 4);
  if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) return "";
  return platform::AsciiUpper(std::string(digits));
}

// A serial number Windows shows that the device did not give: made up ids hold '&'.
std::string RealSerialNumber(std::string_view text) {
  if (text.empty() || text.find('&') != std::string_view::npos) return "";
  return std::string(text);
}

}  // namespace

std::string UsbIdText(std::string_view text) {
  const std::string id = platform::Trim(text);
  if (id.size() != 4 || !std::all_of(id.begin(), id.end(), IsHexDigit)) return "";
  return platform::AsciiUpper(id);
}

bool ParseUsbInstanceId(std::string_view instanceId, UsbInstanceId& parsed) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const size_t end = instanceId.find('\\', start);
    parts.push_back(instanceId.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (parts.size() < 2) return false;
  // The hardware part: VID_xxxx, then '&' (USB) or '+' (FTDIBUS), then PID_xxxx.
  const std::string_view hardware = parts[1];
  constexpr size_t kIdLength = 8;  // "VID_xxxx"
  if (hardware.size() < 2 * kIdLength + 1) return false;
  const char separator = hardware[kIdLength];
  if (separator != '&' && separator != '+') return false;
  UsbInstanceId id;
  id.vendorId = TaggedId(hardware, "VID_");
  id.productId = TaggedId(hardware.substr(kIdLength + 1), "PID_");
  if (id.vendorId.empty() || id.productId.empty()) return false;
  const std::string_view rest = hardware.substr(2 * kIdLength + 1);
  if (separator == '+') {
    // FTDIBUS\VID_0403+PID_6001+A50285BIA\0000: the serial number ends the hardware part.
    if (!rest.empty() && rest.front() != '+') return false;
    if (!rest.empty()) id.serialNumber = RealSerialNumber(rest.substr(1));
  } else if (rest.empty()) {
    // USB\VID_0403&PID_6001\A50285BI: the serial number is the instance part.
    if (parts.size() > 2) id.serialNumber = RealSerialNumber(parts[2]);
  } else if (rest.front() == '&') {
    // USB\VID_2341&PID_8036&MI_00\...: an interface; its instance part is always made up.
    id.compositeInterface = platform::AsciiUpper(std::string(rest)).rfind("&MI_", 0) == 0;
  } else {
    return false;
  }
  parsed = id;
  return true;
}

}  // namespace trv
