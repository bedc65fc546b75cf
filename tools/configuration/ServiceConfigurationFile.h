#pragma once

#include <string>

#include "SiteConfiguration.h"

namespace trv::config {

// The local weight service's configuration file, JSON in UTF-8:
//   {"origens": ["https://*.loja.example"], "portasPermitidas": ["1"], "escuta": "127.0.0.1:8470"}
//    "balancas": {"caixa": {"Porta": "COM3", "Mod_Bal": 2, "Vel_Bal": 9600}}}
// "origens" are patterns of the site policy, "portasPermitidas" the serial ports pages may use
// (absent or empty: every port), "escuta" where the service listens (absent: its default).
// "balancas" are the scales IT named (ScaleName), each with the control's properties under the
// rules of a page's request (FormSettingsJson), Porta and Mod_Bal required; Porta may also be a
// USB adapter's identity.
// Other keys belong to other settings: reading ignores them and writing keeps them.
class ServiceConfigurationFile {
 public:
  // False, with a message in Portuguese, for text that is not a JSON object or whose keys have
  // the wrong type or a value that is no pattern or listening address.
  static bool Parse(const std::string& text, SiteConfiguration& configuration, std::string& error);
  // Whether Compose writes the configuration's scales (none: the key goes), or leaves those of
  // the previous text as they are: a change of the sites is no change of the scales.
  enum class Scales { kWrite, kKeep };

  // The text of a file holding the configuration, with the other keys of `previous` (a file's
  // text, possibly empty or broken) kept. Without sites, ports or listening address the file
  // still says so: {"origens": [], "portasPermitidas": []}.
  static std::string Compose(const SiteConfiguration& configuration, const std::string& previous,
                             Scales scales = Scales::kWrite);
};

}  // namespace trv::config
