#include "UranoProtocol.h"

#include <cstdio>

namespace trv::tools {
namespace {

constexpr char kStable = 'E';
constexpr char kUnstable = ' ';

// The size of a weight in kilograms with three decimals and a comma: 1234 g is "1,234".
Bytes Kilograms(int64_t grams) {
  // Negated in unsigned arithmetic, which is defined for the most negative value too.
  const auto bits = static_cast<unsigned long long>(grams);
  const unsigned long long size = grams < 0 ? 0ULL - bits : bits;
  char text[32] = {};
  std::snprintf(text, sizeof text, "%llu,%03llu", size / 1000, size % 1000);
  return text;
}

Bytes Line(char stability, char sign, const Bytes& weight) {
  return stability + Bytes(" PESO:") + sign + weight + "kg";
}

}  // namespace

Bytes UranoProtocol::Answer(const ScaleReading& reading) {
  const Bytes weight = Kilograms(reading.grams);
  switch (reading.state) {
    case ScaleState::Unstable:
      return Line(kUnstable, reading.grams < 0 ? '-' : ' ', weight);
    case ScaleState::Negative:
      return Line(kStable, '-', weight);
    case ScaleState::Overload:
      return Line(kStable, ' ', "------");
    case ScaleState::Stable:
      break;
  }
  return Line(kStable, reading.grams < 0 ? '-' : ' ', weight);
}

}  // namespace trv::tools
