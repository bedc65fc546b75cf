#pragma once

#include <cstdint>
#include <string>

namespace trv {

// The number conversions of scale answers, shared by every driver. They accept exactly the
// forms below and never overflow silently: a number that does not fit is a failed conversion.
class ScaleNumbers {
 public:
  // Every "." and "," becomes the locale's decimal separator, so both read as the mark.
  static std::string WithDecimalSeparator(std::string text);

  // Optional leading spaces, an optional sign and decimal digits, nothing else; the value
  // must fit in 32 bits.
  static bool TryToInteger(const std::string& text, int32_t& value);

  // Optional spaces, an optional sign, digits with at most one locale decimal separator, an
  // optional exponent (E or e, optional sign, digits) and optional spaces; finite values only.
  static bool TryToDecimal(const std::string& text, double& value);

  // Removes every character of code 32 or below from both ends.
  static std::string Trim(const std::string& text);

  static bool ContainsDecimalSeparator(const std::string& text);
};

}  // namespace trv
