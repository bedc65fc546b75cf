#pragma once

#include <string>
#include <vector>

namespace trv::config {

// What `travinel configurar` writes: the sites whose pages may use the scale (patterns of the
// site policy, in SiteList's canonical form), the serial ports pages may use (empty: every
// port) and where the local weight service listens ("ENDEREÇO:PORTA"; empty: its default).
struct SiteConfiguration {
  std::vector<std::string> sites;
  std::vector<std::string> allowedPorts;
  std::string listen;
};

}  // namespace trv::config
