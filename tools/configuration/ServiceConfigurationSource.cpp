#include "ServiceConfigurationSource.h"

#include <cstdlib>
#include <optional>

#include "AtomicFile.h"
#include "ConfigurationPlaces.h"
#include "ServiceConfigurationFile.h"
#include "platform/Exception.h"

namespace trv::config {

std::string ServiceConfigurationSource::DefaultPath() {
  if (const char* chosen = std::getenv("TRAVINEL_CONFIG"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  return ConfigurationPlaces::ServiceFilePath("");
}

bool ServiceConfigurationSource::Load(const std::string& path, SiteConfiguration& configuration,
                                      std::string& error) {
  std::optional<std::string> text;
  try {
    text = AtomicFile::Read(path);
  } catch (const Exception& e) {
    error = e.Message();
    return false;
  }
  if (!text) {
    error = "não foi possível abrir " + path;
    return false;
  }
  if (!ServiceConfigurationFile::Parse(*text, configuration, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace trv::config
