// travinel: reads the weight from a retail scale on a serial port through the weighing form,
// runs a simulated scale, or demonstrates both. See --help.

#include <iostream>

#include "CommandLoop.h"
#include "ExitCodes.h"
#include "PortTable.h"
#include "TravinelCommandLine.h"
#include "WeighingSession.h"
#include "serial/SerialPortList.h"

#ifdef TRAVINEL_HAS_SERVICE
#include "ServiceCommand.h"
#endif
#ifdef TRAVINEL_HAS_CONFIGURATION
#include "ConfigureCommand.h"
#include "NamedScaleLookup.h"
#include "ServiceConfigurationSource.h"
#endif
#ifdef TRAVINEL_HAS_DETECTION
#include "DetectCommand.h"
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include "SimulatorCommand.h"
#include "TravinelDemo.h"
#endif

namespace {

using trv::cli::CommandOptions;
using trv::cli::Subcommand;

// The settings to weigh with: those of the command line, or the named scale's with the command
// line's own options over them. False, with the exit status, when the scale cannot be had.
bool ScaleSettings(const CommandOptions& options, trv::FormSettings& settings, int& code) {
  settings = options.form;
  if (options.scaleName.empty()) return true;
#ifdef TRAVINEL_HAS_CONFIGURATION
  std::string error;
  code =
      trv::config::NamedScaleLookup::Find(trv::config::ServiceConfigurationSource::DefaultPath(),
                                          options.scaleName, trv::ListSerialPorts, settings, error);
  if (code != trv::cli::kExitOk) {
    std::cerr << "travinel: " << error << std::endl;
    return false;
  }
  for (int trv::FormSettings::*given : options.given) settings.*given = options.form.*given;
  return true;
#else
  std::cerr << "travinel: esta versão não tem --balanca (faltou nlohmann-json)" << std::endl;
  code = trv::cli::kExitUsage;
  return false;
#endif
}

int Weigh(const CommandOptions& options) {
  trv::FormSettings settings;
  int code = trv::cli::kExitOk;
  if (!ScaleSettings(options, settings, code)) return code;
  trv::cli::WeighingSession session(settings, std::cout, std::cerr);
  if (options.command == Subcommand::Ler) return session.Ler(options.verbose);
  trv::cli::CommandLoop loop;
  return session.Monitorar(loop, options.durationSeconds);
}

int ListPorts() {
  const auto ports = trv::ListSerialPorts();
  trv::cli::PrintPortTable(ports, std::cout);
  if (ports.empty()) std::cerr << "travinel: no serial port found" << std::endl;
  return trv::cli::kExitOk;
}

#ifdef _WIN32
int Simulate(const CommandOptions& options) {
  std::cerr << "travinel: " << (options.command == Subcommand::Demo ? "demo" : "simular")
            << " needs Linux (the simulated scale lives on a pseudo-terminal); on Windows use\n"
               "'travinel ler --porta N --modelo M' with a scale on COM<N>."
            << std::endl;
  return trv::cli::kExitUsage;
}
#else
int Simulate(const CommandOptions& options) {
  if (options.command == Subcommand::Demo) return trv::cli::TravinelDemo(std::cout).Run();
  return trv::cli::SimulatorCommand::Run(options.simulatorArgs, std::cout, std::cerr);
}
#endif

int Run(const CommandOptions& options) {
  switch (options.command) {
    case Subcommand::Ler:
    case Subcommand::Monitorar:
      return Weigh(options);
    case Subcommand::Portas:
      return ListPorts();
    case Subcommand::Simular:
    case Subcommand::Demo:
      return Simulate(options);
    case Subcommand::Servir:
#ifdef TRAVINEL_HAS_SERVICE
      return trv::service::ServiceCommand::Run(options.serviceArgs, std::cout, std::cerr);
#else
      std::cerr << "travinel: this build has no servir (Boost.Beast or nlohmann-json was missing)"
                << std::endl;
      return trv::cli::kExitUsage;
#endif
    case Subcommand::Configurar:
#ifdef TRAVINEL_HAS_CONFIGURATION
      return trv::config::ConfigureCommand::Run(options.configureArgs, std::cout, std::cerr);
#else
      std::cerr << "travinel: esta versão não tem configurar (faltou nlohmann-json)" << std::endl;
      return trv::cli::kExitUsage;
#endif
    case Subcommand::Detectar:
#ifdef TRAVINEL_HAS_DETECTION
      return trv::detection::DetectCommand::Run(options.detectArgs, std::cout, std::cerr);
#else
      std::cerr << "travinel: esta versão não tem detectar (faltou nlohmann-json)" << std::endl;
      return trv::cli::kExitUsage;
#endif
    case Subcommand::Help:
      break;
  }
  std::cout << trv::cli::TravinelCommandLine::Usage();
  return trv::cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The form's texts are UTF-8 ("Balança Pronta").
  SetConsoleOutputCP(CP_UTF8);
#endif
  trv::cli::TravinelCommandLine commandLine;
  if (!commandLine.Parse(argc, argv)) {
    std::cerr << "travinel: " << commandLine.Error() << "\nTry 'travinel --help'." << std::endl;
    return trv::cli::kExitUsage;
  }
  try {
    return Run(commandLine.Options());
  } catch (const std::exception& e) {
    std::cerr << "travinel: " << e.what() << std::endl;
    return trv::cli::kExitFailure;
  }
}
