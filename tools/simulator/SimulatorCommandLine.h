#pragma once

#include <string>
#include <vector>

#include "SimulatorSettings.h"

namespace trv::tools {

// What the travinel-simulator command was asked to do.
struct SimulatorOptions {
  // Where to publish the scale's pseudo-terminal; empty: only print its path.
  std::string link;
  // An existing tty to serve instead of a new pseudo-terminal.
  std::string tty;
  // Line speed set on that tty.
  int baud = 9600;
  // Where to publish the control pseudo-terminal; empty: no control pseudo-terminal.
  std::string controlLink;
  // The traffic log's file; empty: no log.
  std::string logPath;
  bool help = false;
  SimulatorSettings settings;
};

// The command line of travinel-simulator. The options that set the scale's behaviour run
// through the control language, so an option and the command of the same name accept exactly
// the same values.
class SimulatorCommandLine {
 public:
  // False, with Error() naming the option, for an unknown option, a missing or bad value, or
  // options that exclude each other.
  bool Parse(int argc, const char* const* argv);

  const SimulatorOptions& Options() const { return options_; }
  const std::string& Error() const { return error_; }
  static std::string Usage();

 private:
  // Splits "--name=value" and "--name value"; false when a value is missing.
  bool NextOption(const std::vector<std::string>& args, size_t& index, std::string& name,
                  std::string& value);
  bool Apply(const std::string& name, const std::string& value);
  bool ApplySetting(const std::string& name, const std::string& command);
  bool ApplyBaud(const std::string& value);
  bool TakePath(const std::string& name, const std::string& value, std::string& path);
  bool Fail(const std::string& message);

  SimulatorOptions options_;
  std::string error_;
};

}  // namespace trv::tools
