#pragma once

#include <string>

#include "SiteConfiguration.h"

namespace trv::config {

// The local weight service's configuration file, JSON in UTF-8:
//   {"origens": ["https://*.loja.example"], "portasPermitidas": ["1"], "escuta": "127.0.0.1:8470"}
// "origens" are patterns of the site policy, "portasPermitidas" the serial ports pages may use
// (absent or empty: every port), "escuta" where the service listens (absent: its default).
// Other keys belong to other settings: reading ignores them and writing keeps them.
class ServiceConfigurationFile {
 public:
  // False, with a message in Portuguese, for text that is not a JSON object or whose keys have
  // the wrong type or a value that is no pattern or listening address.
  static bool Parse(const std::string& text, SiteConfiguration& configuration, std::string& error);
  // The text of a file holding the configuration, with the other keys of `previous` (a file's
  // text, possibly empty or broken) kept. Without sites, ports or listening address the file
  // still says so: {"origens": [], "portasPermitidas": []}.
  static std::string Compose(const SiteConfiguration& configuration, const std::string& previous);
};

}  // namespace trv::config
