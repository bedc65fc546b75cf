#pragma once

namespace trv::detection {

// Whether the system's code for a failed opening of a serial port means that another program
// holds it (EBUSY on Linux, access denied on Windows).
bool IsPortBusyError(int code);

}  // namespace trv::detection
