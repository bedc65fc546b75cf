#include "serial/SerialPortList.h"

#include <algorithm>
#include <string_view>

#include "platform/Text.h"

namespace trv {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The run of digits that starts at i, without its leading zeros; i moves past it.
std::string_view DigitRun(const std::string& text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::string_view run(text.data() + start, i - start);
  while (run.size() > 1 && run.front() == '0') run.remove_prefix(1);
  return run;
}

// Compares two digit runs as numbers of any length: <0, 0 or >0.
int CompareNumbers(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

constexpr std::string_view kUsbPrefix = "usb:";

// The identity with its prefix and ids in upper case; the serial number (after the third
// colon) is kept as the adapter gives it.
std::string CanonicalIdentity(const std::string& identity) {
  size_t serial = kUsbPrefix.size();
  for (int colon = 0; colon < 2 && serial != std::string::npos; ++colon) {
    serial = identity.find(':', serial);
    if (serial != std::string::npos) ++serial;
  }
  if (serial == std::string::npos) return platform::AsciiUpper(identity);
  return platform::AsciiUpper(identity.substr(0, serial)) + identity.substr(serial);
}

}  // namespace

std::string SerialPortEntry::Identity() const {
  if (vendorId.empty() || productId.empty()) return "";
  std::string identity = std::string(kUsbPrefix) + vendorId + ":" + productId;
  if (!serialNumber.empty()) identity += ":" + serialNumber;
  return identity;
}

bool IsPortIdentity(const std::string& text) {
  return text.size() > kUsbPrefix.size() &&
         platform::AsciiLower(text.substr(0, kUsbPrefix.size())) == kUsbPrefix;
}

bool FindPortByIdentity(const std::vector<SerialPortEntry>& ports, const std::string& identity,
                        SerialPortEntry& found) {
  if (!IsPortIdentity(identity)) return false;
  const std::string wanted = CanonicalIdentity(identity);
  // A device may be listed under several names (ttyUSB0 and its /dev/serial/by-id link): it is
  // one adapter all the same, found under the first of them.
  const SerialPortEntry* match = nullptr;
  for (const SerialPortEntry& port : ports) {
    if (port.Identity().empty() || CanonicalIdentity(port.Identity()) != wanted) continue;
    if (match != nullptr && match->device != port.device) return false;
    if (match == nullptr) match = &port;
  }
  if (match == nullptr) return false;
  found = *match;
  return true;
}

bool NaturalNameLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const int order = CompareNumbers(DigitRun(a, i), DigitRun(b, j));
      if (order != 0) return order < 0;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace trv
