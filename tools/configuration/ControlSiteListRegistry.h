#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ConfigurationPlace.h"

namespace trv::config {

// The control's site list: HKLM\<software>\Dornavel\Travinel, value SitesPermitidos
// (REG_MULTI_SZ, one site a line), in the 32-bit and the 64-bit registry views, so that the
// control of either bitness reads it. The value is ours alone; the key's other values (the
// installer's ZonasPermitidas) stay.
class ControlSiteListRegistry : public ConfigurationPlace {
 public:
  // software: the key that stands for HKLM\SOFTWARE (tests give one of their own).
  explicit ControlSiteListRegistry(std::string software = "SOFTWARE");

  std::vector<std::string> Describe() const override;
  std::vector<std::string> RecordedSites() const override;
  void Save() override;
  void Restore() override;
  void Apply(const SiteConfiguration& configuration,
             const std::vector<std::string>& previousSites) override;
  void Remove(const std::vector<std::string>& previousSites) override;

 private:
  std::optional<std::vector<std::string>> Read(REGSAM view) const;
  void Write(REGSAM view, const std::optional<std::vector<std::string>>& sites);

  std::string key_;
  std::vector<std::optional<std::vector<std::string>>> saved_;
};

}  // namespace trv::config
