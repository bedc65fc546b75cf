#pragma once

#include <string>
#include <vector>

#include "CommandOptions.h"

namespace trv::cli {

// The command line of travinel: a subcommand, then options named like the weighing control's
// properties (--porta or --Por_Bal, --modelo or --Mod_Bal, ...). Option names take any letter
// case, and their values come as "--name value" or "--name=value".
class TravinelCommandLine {
 public:
  // False, with Error() saying what is wrong, for a missing or unknown subcommand, an unknown
  // option, a missing or bad value, or a missing --porta or --modelo.
  bool Parse(int argc, const char* const* argv);

  const CommandOptions& Options() const { return options_; }
  const std::string& Error() const { return error_; }
  static std::string Usage();

 private:
  bool ParseSubcommand(const std::string& name);
  bool ParseOptions(const std::vector<std::string>& args);
  // Splits "--name=value" and "--name value"; false when a value is missing.
  bool NextOption(const std::vector<std::string>& args, size_t& index, std::string& given,
                  std::string& canonical, std::string& value);
  bool Apply(const std::string& given, const std::string& canonical, const std::string& value);
  bool CheckComplete();
  bool Fail(const std::string& message);

  CommandOptions options_;
  std::string error_;
};

}  // namespace trv::cli
