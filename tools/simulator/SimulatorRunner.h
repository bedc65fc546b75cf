#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "SimulatorCommandLine.h"
#include "testing/Pseudoterminal.h"

namespace trv::tools {

// What a simulated scale needs around its engine: the control pseudo-terminal and the log the
// options ask for, and the serving of a scale line with them. travinel-simulator and the
// travinel command's simulated scale both run the engine through this.
class SimulatorRunner {
 public:
  explicit SimulatorRunner(const SimulatorOptions& options);
  SimulatorRunner(const SimulatorRunner&) = delete;
  SimulatorRunner& operator=(const SimulatorRunner&) = delete;

  // Brings up the control pseudo-terminal when the options name its link; false with Error().
  bool OpenControl();
  // Opens the log for appending when the options name one; false with Error().
  bool OpenLog();
  // The control pseudo-terminal; null when none was asked for or it is not open yet.
  const Pseudoterminal* Control() const { return control_.get(); }

  // Serves the scale line `scaleFd` until `stopFd` turns readable or a QUIT command, taking
  // commands from the control line and, with `withStdin`, from standard input. False with
  // Error() when the line failed.
  bool Serve(int scaleFd, int stopFd, bool withStdin);

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& message);

  const SimulatorOptions& options_;
  std::unique_ptr<Pseudoterminal> control_;
  std::ofstream log_;
  std::string error_;
};

}  // namespace trv::tools
