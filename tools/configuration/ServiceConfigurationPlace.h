#pragma once

#include <optional>
#include <string>

#include "ConfigurationPlace.h"

namespace trv::config {

// The local weight service's configuration file (ServiceConfigurationFile). Its other keys, the
// named scales among them, stay as they are; removing leaves the file without sites, ports or
// listening address, as the package installs it, so the service still starts (and lets no site
// in).
class ServiceConfigurationPlace : public ConfigurationPlace {
 public:
  explicit ServiceConfigurationPlace(std::string path);

  std::vector<std::string> Describe() const override;
  std::vector<std::string> RecordedSites() const override;
  void Save() override;
  void Restore() override;
  void Apply(const SiteConfiguration& configuration,
             const std::vector<std::string>& previousSites) override;
  void Remove(const std::vector<std::string>& previousSites) override;

 private:
  std::string path_;
  std::optional<std::string> saved_;
};

}  // namespace trv::config
