#pragma once

#include <string>

#include "PortOutcome.h"
#include "control/FormSettings.h"

namespace trv::detection {

// Stores a scale that was found as a named scale of the service's configuration file, so that
// a page asks for it by name and the port is found again wherever the adapter is plugged in.
class NamedScaleSaver {
 public:
  // Every setting the search found: the model, the line, and the port by its USB identity when
  // it has one (the socket may change), else by the name it was found under.
  static FormSettings SettingsOf(const PortOutcome& found);
  // Adds the scale to the file, or replaces the one of that name, as `travinel configurar
  // --balanca` does (see NamedScaleFile): a file that is not a configuration is left untouched.
  static void Save(const std::string& path, const std::string& name, const PortOutcome& found);
};

}  // namespace trv::detection
