#include "FilizolaProtocol.h"

#include <cstdio>

namespace trv::tools {
namespace {

constexpr char kEnq = 0x05;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr int64_t kMaxGrams = 999999;
constexpr size_t kFieldWidth = 6;

Bytes Letters(char letter) {
  return Bytes(kFieldWidth, letter);
}

Bytes StableField(int64_t grams) {
  if (grams < 0) return Letters('N');
  if (grams > kMaxGrams) return Letters('S');
  char digits[kFieldWidth + 1] = {};
  std::snprintf(digits, sizeof digits, "%06lld", static_cast<long long>(grams));
  return digits;
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

size_t FilizolaProtocol::RequestLength(const Bytes& received) const {
  return BeginsRequest(received) ? 1 : 0;
}

bool FilizolaProtocol::BeginsRequest(const Bytes& received) const {
  return !received.empty() && received.front() == kEnq;
}

Bytes FilizolaProtocol::Answer(const ScaleReading& reading) {
  return kStx + Field(reading) + kEtx;
}

}  // namespace trv::tools
