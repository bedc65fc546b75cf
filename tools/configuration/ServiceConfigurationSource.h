#pragma once

#include <string>

#include "SiteConfiguration.h"

namespace trv::config {

// Where the local weight service, and `travinel ler --balanca`, find the configuration travinel
// configurar writes, and its reading.
class ServiceConfigurationSource {
 public:
  // The file TRAVINEL_CONFIG names, or else /etc/travinel/servir.json
  // (%ProgramData%\Travinel\servir.json on Windows).
  static std::string DefaultPath();
  // The file's configuration; false, with `error` naming the file and what is wrong with it (in
  // Portuguese), for a file that cannot be opened or read as the service's configuration.
  static bool Load(const std::string& path, SiteConfiguration& configuration, std::string& error);
};

}  // namespace trv::config
