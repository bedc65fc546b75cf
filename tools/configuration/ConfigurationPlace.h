#pragma once

#include <string>
#include <vector>

#include "SiteConfiguration.h"

namespace trv::config {

// One of the places `travinel configurar` writes: the service's configuration file, the
// control's site list in the registry, the browsers' policies. Failures raise Exception with a
// message in Portuguese.
class ConfigurationPlace {
 public:
  virtual ~ConfigurationPlace() = default;

  // What the place holds now, as lines for the listing.
  virtual std::vector<std::string> Describe() const = 0;
  // The sites the place records (the service's origins, the control's list); none for places
  // that hold only translations of them.
  virtual std::vector<std::string> RecordedSites() const { return {}; }

  // Remembers what the place holds now, for Restore; called before Apply and Remove, which
  // start from what it found.
  virtual void Save() = 0;
  // Puts back what Save found.
  virtual void Restore() = 0;

  // Writes the configuration. previousSites: the sites of the last configuration, whose
  // entries in lists shared with other owners are replaced.
  virtual void Apply(const SiteConfiguration& configuration,
                     const std::vector<std::string>& previousSites) = 0;
  // Takes away the entries of the last configuration, and nothing else.
  virtual void Remove(const std::vector<std::string>& previousSites) = 0;
};

}  // namespace trv::config
