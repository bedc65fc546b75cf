#pragma once

#include <string>

namespace trv {

// The weight box's number text, in the locale's format: "##0" and "##0.000" (at least one
// integer digit, no thousands separator, the locale's decimal separator).
class WeightText {
 public:
  // Rounded to `decimals` places, halves away from zero; a negative zero is written as zero.
  static std::string Format(double value, int decimals);
  // The number in a text of that format; raises Exception for anything else.
  static double Parse(const std::string& text);
};

}  // namespace trv
