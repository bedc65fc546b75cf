#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "SimulatorCommandLine.h"

namespace trv::cli {

// travinel simular: the scale simulator in this process, with travinel-simulator's options
// (read by the simulator's own command line). Prints the path to connect to on its first line,
// then serves until Ctrl-C, SIGTERM or the QUIT command.
class SimulatorCommand {
 public:
  // Returns the exit code: 0 when ended, 1 when a line failed, 2 for bad options.
  static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

 private:
  static int Serve(const tools::SimulatorOptions& options, std::ostream& out, std::ostream& err);
};

}  // namespace trv::cli
