#pragma once

#include <functional>
#include <string>
#include <vector>

#include "control/FormSettings.h"
#include "serial/SerialPortList.h"

namespace trv::config {

// A named scale found for `travinel ler --balanca`: its settings in the service's
// configuration file, and for a scale bound to a USB adapter's identity the port the adapter is
// on now.
class NamedScaleLookup {
 public:
  using PortLister = std::function<std::vector<SerialPortEntry>()>;

  // The exit status (ExitCode): kExitOk with the scale's settings; kExitUsage for a file that
  // cannot be read or has no scale of that name; kExitPortFailure when the scale's adapter is
  // not connected. `error` says which, in Portuguese.
  static int Find(const std::string& path, const std::string& name, const PortLister& listPorts,
                  FormSettings& settings, std::string& error);
};

}  // namespace trv::config
