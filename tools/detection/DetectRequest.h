#pragma once

#include <string>
#include <vector>

namespace trv::detection {

// What `travinel detectar` was asked to do.
struct DetectRequest {
  bool help = false;
  // --portas: the ports to search (device paths, port names or USB identities); empty: all.
  std::vector<std::string> ports;
  // --salvar: the name to store the first scale found under; empty: nothing is stored.
  std::string saveAs;
  // The configuration file the scale is stored in (--raiz, TRAVINEL_CONFIG or its default place).
  std::string configPath;
};

}  // namespace trv::detection
