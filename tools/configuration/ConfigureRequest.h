#pragma once

#include <string>

#include "SiteConfiguration.h"
#include "control/FormSettings.h"

namespace trv::config {

// What `travinel configurar` was asked to do.
struct ConfigureRequest {
  // SetScale and RemoveScale change one named scale of the service's file, nothing else.
  enum class Action { List, Write, Remove, SetScale, RemoveScale, Help };
  Action action = Action::List;
  // Write: the new configuration.
  SiteConfiguration configuration;
  // SetScale, RemoveScale: the scale's name; SetScale: its settings.
  std::string scaleName;
  FormSettings scale;
  // --sem-politicas clears it: the browsers' policies are neither written nor removed.
  bool browsers = true;
  // --raiz: the folder standing for / (Linux tests); empty for the system itself.
  std::string root;
};

}  // namespace trv::config
