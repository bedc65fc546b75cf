#pragma once

#include <map>
#include <string>
#include <vector>

#include "control/FormSettings.h"

namespace trv::config {

// What `travinel configurar` writes: the sites whose pages may use the scale (patterns of the
// site policy, in SiteList's canonical form), the serial ports pages may use (empty: every
// port) and where the local weight service listens ("ENDEREÇO:PORTA"; empty: its default).
struct SiteConfiguration {
  std::vector<std::string> sites;
  std::vector<std::string> allowedPorts;
  std::string listen;
  // Named scales ("caixa"): every setting of the form, the port possibly an identity
  // ("usb:VID:PID:SERIAL" in portPath) to be found on whatever port it has today.
  std::map<std::string, FormSettings> scales = {};
};

}  // namespace trv::config
