// Lists the serial ports of this machine: the names to give the scale component (or the
// control's Porta, as a number, on Windows).
#include <cstdio>

#include "serial/SerialPortList.h"

int main() {
  for (const trv::SerialPortEntry& port : trv::ListSerialPorts()) {
    if (port.device == port.name) {
      std::printf("%s\n", port.name.c_str());
    } else {
      std::printf("%s -> %s\n", port.name.c_str(), port.device.c_str());
    }
  }
  return 0;
}
