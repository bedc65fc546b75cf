#pragma once

#include <string>

#include "SiteConfiguration.h"

namespace trv::config {

// What `travinel configurar` was asked to do.
struct ConfigureRequest {
  enum class Action { List, Write, Remove, Help };
  Action action = Action::List;
  // Write: the new configuration.
  SiteConfiguration configuration;
  // --sem-politicas clears it: the browsers' policies are neither written nor removed.
  bool browsers = true;
  // --raiz: the folder standing for / (Linux tests); empty for the system itself.
  std::string root;
};

}  // namespace trv::config
