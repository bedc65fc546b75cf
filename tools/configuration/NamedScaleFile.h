#pragma once

#include <string>

#include "control/FormSettings.h"

namespace trv::config {

// The named scales of the service's configuration file, changed one at a time by `travinel
// configurar --balanca` and `--remover-balanca`: every other key of the file, sites and other
// scales included, stays as it is. A file that exists but cannot be read as the service's
// configuration is left untouched. Failures raise Exception with a message in Portuguese.
class NamedScaleFile {
 public:
  // Adds the scale, or replaces the one of that name.
  static void Set(const std::string& path, const std::string& name, const FormSettings& settings);
  // Takes the scale away; false when the file has no scale of that name.
  static bool Remove(const std::string& path, const std::string& name);
};

}  // namespace trv::config
