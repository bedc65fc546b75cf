#pragma once

#include <string>
#include <vector>

#include "ConfigureRequest.h"

namespace trv::config {

// The options of `travinel configurar`: --sites, --portas, --escuta, --sem-politicas,
// --remover, --raiz, --help; --balanca NOME with the scale's options of `travinel ler`
// (--porta, --modelo, --vel, ..., or the control's names --Por_Bal, --Mod_Bal, ...), and
// --remover-balanca NOME; values as "--sites X" or "--sites=X".
class ConfigureOptions {
 public:
  // False, with a message in Portuguese, for an unknown option, a missing or bad value, or
  // options that do not go together. Every value is checked here, before anything is written.
  static bool Parse(const std::vector<std::string>& args, ConfigureRequest& request,
                    std::string& error);
};

}  // namespace trv::config
