#pragma once

// Windows only: the parts of the port list that PortNamesWin32 and PortListWin32 share, and what
// the Wine tests look at.

#include <string>
#include <vector>

#include "serial/SerialPortList.h"

namespace trv {

// Whether \\.\COMn exists (also when another program holds it), by opening it.
bool ComPortExists(const std::string& device);

// The COM ports SetupAPI knows (the ports class, present devices), each with its friendly name
// and, for USB adapters, the identity read from the device's instance id; in no set order, and
// none where SetupAPI knows none (Wine's, commonly). Nothing is opened.
std::vector<SerialPortEntry> ListSetupApiPorts();

}  // namespace trv
