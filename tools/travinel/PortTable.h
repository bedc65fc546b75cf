#pragma once

#include <ostream>
#include <vector>

#include "serial/SerialPortList.h"

namespace trv::cli {

// travinel portas: the ports as an aligned table, one per line under a heading: the port's name,
// its description, a USB adapter's identity (the text a configuration may name the port by)
// and, for a name that is a link (/dev/serial/by-id/...), the device it leads to. Columns no
// port has anything for are left out; nothing is written for no ports.
void PrintPortTable(const std::vector<SerialPortEntry>& ports, std::ostream& out);

}  // namespace trv::cli
