#pragma once

#include <string>

#include "PortOutcome.h"
#include "SiteConfiguration.h"
#include "control/FormSettings.h"

namespace trv::detection {

// Stores a scale that was found as a named scale of the service's configuration file, so that
// a page asks for it by name and the port is found again wherever the adapter is plugged in.
class NamedScaleSaver {
 public:
  // Every setting the search found: the model, the line, and the port by its USB identity when
  // it has one (the socket may change), else by the name it was found under.
  static FormSettings SettingsOf(const PortOutcome& found);
  // The configuration with the scale under `name`, replacing one of that name.
  static config::SiteConfiguration WithScale(config::SiteConfiguration configuration,
                                             const std::string& name, const PortOutcome& found);
  // Reads the file (missing: an empty configuration), adds the scale and writes the file
  // whole, its other keys kept. Raises Exception in Portuguese for a file that is not a
  // configuration (left untouched) or one that cannot be written.
  static void Save(const std::string& path, const std::string& name, const PortOutcome& found);
};

}  // namespace trv::detection
