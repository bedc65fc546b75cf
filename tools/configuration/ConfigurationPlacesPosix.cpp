#include <memory>

#include "BrowserPolicyFiles.h"
#include "ConfigurationPlaces.h"
#include "ServiceConfigurationPlace.h"

namespace trv::config {

bool ConfigurationPlaces::TakesRoot() {
  return true;
}

std::string ConfigurationPlaces::ServiceFilePath(const std::string& root) {
  return root + "/etc/travinel/servir.json";
}

std::vector<std::unique_ptr<ConfigurationPlace>> ConfigurationPlaces::Make(const std::string& root,
                                                                           bool withBrowsers) {
  std::vector<std::unique_ptr<ConfigurationPlace>> places;
  places.push_back(std::make_unique<ServiceConfigurationPlace>(ServiceFilePath(root)));
  if (withBrowsers) {
    places.push_back(std::make_unique<BrowserPolicyFiles>(
        std::vector<std::string>{root + "/etc/opt/chrome/policies/managed/travinel.json",
                                 root + "/etc/chromium/policies/managed/travinel.json",
                                 root + "/etc/opt/edge/policies/managed/travinel.json"}));
  }
  return places;
}

}  // namespace trv::config
