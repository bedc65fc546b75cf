#include "LucasTecProtocol.h"
#include "platform/ControlBytes.h"

#include <algorithm>
#include <cstdio>

namespace trv::tools {
namespace {

using namespace ascii;
constexpr int64_t kMaxGrams = 999999;
constexpr int kLines = 4;
const Bytes kDashes = "------";

// Grams as kilograms with three decimals; the sign in front of a negative amount.
Bytes Kilograms(int64_t grams) {
  const int64_t size = std::min(grams < 0 ? -std::max(grams, -kMaxGrams) : grams, kMaxGrams);
  char text[48] = {};
  std::snprintf(text, sizeof text, "%s%lld.%03lld", grams < 0 ? "-" : "",
                static_cast<long long>(size / 1000), static_cast<long long>(size % 1000));
  return text;
}

Bytes Line(const Bytes& gross, const Bytes& tare, const Bytes& net) {
  return Bytes(1, kStx) + "B " + gross + " kg B T " + tare + " kg T L " + net + " kg L" + kCr;
}

Bytes WeightLine(int64_t gross, int64_t tare) {
  return Line(Kilograms(gross), Kilograms(tare), Kilograms(gross - tare));
}

Bytes Repeated(const Bytes& line) {
  Bytes lines;
  for (int i = 0; i < kLines; ++i) lines += line;
  return lines;
}

// Four lines a gram apart, within the scale's range.
Bytes Moving(int64_t grams) {
  const int64_t first = std::clamp<int64_t>(grams, 0, kMaxGrams - kLines);
  Bytes lines;
  for (int i = 0; i < kLines; ++i) lines += WeightLine(first + i, 0);
  return lines;
}

// The amount below zero (at least a gram) as a tare over a zero gross.
Bytes BelowZero(int64_t grams) {
  const int64_t amount = grams < 0 ? -std::max(grams, -kMaxGrams) : std::min(grams, kMaxGrams);
  return Repeated(WeightLine(0, std::max<int64_t>(amount, 1)));
}

Bytes NoWeight() {
  return Repeated(Line(kDashes, kDashes, kDashes));
}

}  // namespace

Bytes LucasTecProtocol::Answer(const ScaleReading& reading) {
  switch (reading.state) {
    case ScaleState::Unstable:
      return Moving(reading.grams);
    case ScaleState::Negative:
      return BelowZero(reading.grams);
    case ScaleState::Overload:
      return NoWeight();
    case ScaleState::Stable:
      break;
  }
  if (reading.grams < 0) return BelowZero(reading.grams);
  if (reading.grams > kMaxGrams) return NoWeight();
  return Repeated(WeightLine(reading.grams, 0));
}

}  // namespace trv::tools
