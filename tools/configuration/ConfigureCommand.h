#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ConfigurationPlace.h"
#include "ConfigureRequest.h"

namespace trv::config {

// `travinel configurar`: writes the site configuration to every place of this system in one
// step, takes it away (--remover), or lists it (no option). A failure in any place puts back
// what every place held before.
class ConfigureCommand {
 public:
  static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
  // Carries out a checked request on the given places; the exit status.
  static int Execute(const ConfigureRequest& request,
                     const std::vector<std::unique_ptr<ConfigurationPlace>>& places,
                     std::ostream& out, std::ostream& err);
  static std::string Usage();
};

}  // namespace trv::config
