#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "control/FormSettings.h"

namespace trv::service {

// How `travinel servir` was started.
struct ServiceSettings {
  std::string address = "127.0.0.1";
  uint16_t port = 8470;
  // Listening on an address other than the loopback one was asked for explicitly.
  bool allowNetwork = false;
  // Origins (scheme://host[:port]) whose pages may call the service, besides its own.
  std::vector<std::string> origins;
  // Serial ports pages may use (numbers as "1" or device paths); empty: every port.
  std::vector<std::string> allowedPorts;
  // The scales IT named in the configuration file ("caixa"), which pages use by name; their
  // ports need not be on allowedPorts. A port may be a USB adapter's identity.
  std::map<std::string, FormSettings> scales;
  // Seconds to serve before ending by itself; 0: until stopped.
  int durationSeconds = 0;
  // Windows: runs under the service control manager (travinel servir --servico).
  bool windowsService = false;
};

}  // namespace trv::service
