#pragma once

#include <string>

namespace trv {

// The form's status line for a reading that is no weight: the scale's last value, truncated
// toward zero to a 32-bit code, names what the scale reports.
class WeightCodeStatus {
 public:
  // The status text of `weight`; false for a value that leaves the status as it is (the read
  // failure, and anything that is no code once truncated).
  static bool TextOf(double weight, std::string& text);
};

}  // namespace trv
