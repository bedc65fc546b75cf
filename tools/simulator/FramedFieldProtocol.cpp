#include "FramedFieldProtocol.h"

#include "SimulatorText.h"
#include "platform/ControlBytes.h"

namespace trv::tools {

Bytes FramedFieldProtocol::Answer(const ScaleReading& reading) {
  using namespace ascii;
  return kStx + Field(reading) + kEtx;
}

Bytes FramedFieldProtocol::Field(const ScaleReading& reading) const {
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
  return WeightField(reading.grams);
}

Bytes FramedFieldProtocol::SixDigitGrams(int64_t grams) const {
  constexpr int64_t kMaxGrams = 999999;
  if (grams < 0) return Letters('N');
  if (grams > kMaxGrams) return Letters('S');
  return text::ZeroPadded(grams, 6);
}

}  // namespace trv::tools
