#pragma once

#include <string>
#include <vector>

namespace trv::config {

// The serial ports of `travinel configurar --portas`: the only ports pages may use, separated
// by ',' and written as the service takes them (1 for com1, or a device path).
class PortList {
 public:
  static constexpr size_t kMaxPorts = 256;

  // False, with a message in Portuguese, for an item that is no port or too many ports.
  static bool Parse(const std::string& text, std::vector<std::string>& ports, std::string& error);
};

}  // namespace trv::config
