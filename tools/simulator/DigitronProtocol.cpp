#include "DigitronProtocol.h"

#include <cstdio>

namespace trv::tools {
namespace {

constexpr char kEnq = 0x05;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr size_t kFieldWidth = 6;
constexpr int64_t kGramsPerHundredth = 10;
constexpr int64_t kMaxHundredths = 999999;
constexpr int64_t kMaxDecimalGrams = 99999;  // 99.999 kg fills the six characters

Bytes Letters(char letter) {
  return Bytes(kFieldWidth, letter);
}

Bytes StableField(int64_t grams) {
  char text[48] = {};
  if (grams < 0) return Letters('N');
  if (grams % kGramsPerHundredth == 0 && grams / kGramsPerHundredth <= kMaxHundredths) {
    std::snprintf(text, sizeof text, "%06lld", static_cast<long long>(grams / kGramsPerHundredth));
    return text;
  }
  if (grams > kMaxDecimalGrams) return Letters('S');
  std::snprintf(text, sizeof text, "%02lld.%03lld", static_cast<long long>(grams / 1000),
                static_cast<long long>(grams % 1000));
  return text;
}

Bytes Field(const ScaleReading& reading) {
  switch (reading.state) {
    case ScaleState::Unstable:
      return Letters('I');
    case ScaleState::Negative:
      return Letters('N');
    case ScaleState::Overload:
      return Letters('S');
    case ScaleState::Stable:
      break;
  }
  return StableField(reading.grams);
}

}  // namespace

size_t DigitronProtocol::RequestLength(const Bytes& received) const {
  return BeginsRequest(received) ? 1 : 0;
}

bool DigitronProtocol::BeginsRequest(const Bytes& received) const {
  return !received.empty() && received.front() == kEnq;
}

Bytes DigitronProtocol::Answer(const ScaleReading& reading) {
  return kStx + Field(reading) + kEtx;
}

}  // namespace trv::tools
