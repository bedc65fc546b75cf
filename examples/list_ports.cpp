// Lists the serial ports of this machine: the names to give the scale component (or the
// control's Porta, as a number, on Windows), what the system calls each, and a USB adapter's
// identity, which stays the same on whatever socket the adapter is plugged into.
#include <cstdio>

#include "serial/SerialPortList.h"

int main() {
  for (const trv::SerialPortEntry& port : trv::ListSerialPorts()) {
    std::printf("%s", port.name.c_str());
    if (port.device != port.name) std::printf(" -> %s", port.device.c_str());
    if (!port.description.empty()) std::printf("  (%s)", port.description.c_str());
    if (!port.Identity().empty()) std::printf("  %s", port.Identity().c_str());
    std::printf("\n");
  }
  return 0;
}
