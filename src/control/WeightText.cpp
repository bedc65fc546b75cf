#include "control/WeightText.h"

#include <cmath>
#include <cstdio>

#include "platform/Exception.h"
#include "platform/Locale.h"
#include "scale/ScaleNumbers.h"

namespace trv {

std::string WeightText::Format(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  double rounded = std::round(value * scale) / scale;
  if (rounded == 0.0) rounded = 0.0;  // no "-0"
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, rounded);
  std::string result = text;
  for (char& c : result) {
    if (c == '.') c = platform::DecimalSeparator();
  }
  return result;
}

double WeightText::Parse(const std::string& text) {
  double value = 0;
  if (!ScaleNumbers::TryToDecimal(text, value)) {
    throw Exception("'" + text + "' is not a valid floating point value");
  }
  return value;
}

}  // namespace trv
