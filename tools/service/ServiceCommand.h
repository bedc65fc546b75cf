#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ServiceSettings.h"

namespace trv::service {

// travinel servir [--escuta ENDEREÇO:PORTA] [--permitir-rede] [--origem URL]...
//                 [--portas-permitidas LISTA] [--config ARQUIVO]
// Runs the local weight service until Ctrl-C (or SIGTERM).
class ServiceCommand {
 public:
  static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
  // Reads the options; false with the reason in `error`. `help` is set for --help.
  static bool Parse(const std::vector<std::string>& args, ServiceSettings& settings, bool& help,
                    std::string& error);
  static std::string Usage();
};

}  // namespace trv::service
