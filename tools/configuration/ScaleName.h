#pragma once

#include <string>

namespace trv::config {

// The name IT gives a scale ("caixa", "balcao-2") and pages use instead of a port: ASCII
// letters, digits, '-' and '_', 1 to 32 of them. Nothing else, so a name is safe in a file, a
// URL, a log line and a command line alike.
class ScaleName {
 public:
  static constexpr size_t kMaxLength = 32;

  static bool IsValid(const std::string& name);
  // Why `name` was refused, in Portuguese, the name shown shortened and without control
  // characters.
  static std::string Refusal(const std::string& name);
};

}  // namespace trv::config
