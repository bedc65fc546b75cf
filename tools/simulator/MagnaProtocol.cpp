#include "MagnaProtocol.h"

#include <cstdio>

namespace trv::tools {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr int64_t kMaxGrams = 999999;

Bytes Line(const Bytes& text) {
  return "PESO " + text + kLineEnd;
}

Bytes Weight(int64_t grams) {
  char text[48] = {};
  std::snprintf(text, sizeof text, "%lld.%03lld kg", static_cast<long long>(grams / 1000),
                static_cast<long long>(grams % 1000));
  return Line(text);
}

}  // namespace

Bytes MagnaProtocol::Answer(const ScaleReading& reading) {
  switch (reading.state) {
    case ScaleState::Unstable:
      return Line("INSTAVEL");
    case ScaleState::Negative:
      return Line("NEGATIVO");
    case ScaleState::Overload:
      return Line("SOBRECARGA");
    case ScaleState::Stable:
      break;
  }
  if (reading.grams < 0) return Line("NEGATIVO");
  if (reading.grams > kMaxGrams) return Line("SOBRECARGA");
  return Weight(reading.grams);
}

}  // namespace trv::tools
