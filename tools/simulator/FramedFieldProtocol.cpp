#include "FramedFieldProtocol.h"

#include "SimulatorText.h"

namespace trv::tools {

Bytes FramedFieldProtocol::Answer(const ScaleReading& reading) {
  constexpr char kStx = 0x02;
  constexpr char kEtx = 0x03;
  switch (reading.state) {
    case ScaleState::Unstable:
      return kStx + Letters('I') + kEtx;
    case ScaleState::Negative:
      return kStx + Letters('N') + kEtx;
    case ScaleState::Overload:
      return kStx + Letters('S') + kEtx;
    case ScaleState::Stable:
      break;
  }
  return kStx + WeightField(reading.grams) + kEtx;
}

Bytes FramedFieldProtocol::SixDigitGrams(int64_t grams) const {
  constexpr int64_t kMaxGrams = 999999;
  if (grams < 0) return Letters('N');
  if (grams > kMaxGrams) return Letters('S');
  return text::ZeroPadded(grams, 6);
}

}  // namespace trv::tools
