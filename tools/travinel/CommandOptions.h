#pragma once

#include <string>
#include <vector>

#include "control/FormSettings.h"

namespace trv::cli {

enum class Subcommand { Help, Ler, Monitorar, Portas, Simular, Demo, Servir, Configurar, Detectar };

// What the travinel command was asked to do.
struct CommandOptions {
  Subcommand command = Subcommand::Help;
  FormSettings form;
  // ler, monitorar: a scale named in the service's configuration file (--balanca), read with
  // its settings; the properties given on the command line (in `given`) override them.
  std::string scaleName;
  std::vector<int FormSettings::*> given;
  // monitorar: seconds to run; 0 runs until Ctrl-C.
  int durationSeconds = 0;
  // Also print the statuses the form shows while enabling the scale (ler).
  bool verbose = false;
  // simular: the arguments for the simulator's own command line.
  std::vector<std::string> simulatorArgs;
  // servir: the arguments of the local weight service.
  std::vector<std::string> serviceArgs;
  // configurar: the arguments of the site configuration.
  std::vector<std::string> configureArgs;
  // detectar: the arguments of the search for scales.
  std::vector<std::string> detectArgs;
};

}  // namespace trv::cli
