#pragma once

#include <string>
#include <vector>

namespace trv::cli {

// The weighing form's configuration as the command line gives it, in the form's own integer
// values (see the form's Por_Bal ... Dec_Bal).
struct FormSettings {
  // Port number (com<n>); -1 when a device path is given instead, or nothing yet.
  int porta = -1;
  // A device path (/dev/ttyUSB0, /dev/pts/3, \\.\COM10) reached through the form's PortName.
  std::string portPath;
  // Scale model 0-7; -1 while not given.
  int modelo = -1;
  int handshake = 0;
  int paridade = 0;
  int parada = 0;
  int bits = 8;
  int vel = 9600;
  int unidade = 0;
  int decimais = 0;
};

enum class Subcommand { Help, Ler, Monitorar, Portas, Simular, Demo, Servir, Configurar };

// What the travinel command was asked to do.
struct CommandOptions {
  Subcommand command = Subcommand::Help;
  FormSettings form;
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
};

}  // namespace trv::cli
