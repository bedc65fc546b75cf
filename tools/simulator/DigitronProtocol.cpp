#include "DigitronProtocol.h"

#include "ContinuousStream.h"
#include "SimulatorText.h"
#include "platform/ControlBytes.h"

namespace trv::tools {

Bytes DigitronProtocol::WeightField(int64_t grams) const {
  constexpr int64_t kGramsPerHundredth = 10;
  constexpr int64_t kMaxHundredths = 999999;
  constexpr int64_t kMaxDecimalGrams = 99999;  // 99.999 kg fills the six characters
  if (grams < 0) return Letters('N');
  if (grams % kGramsPerHundredth == 0 && grams / kGramsPerHundredth <= kMaxHundredths) {
    return text::ZeroPadded(grams / kGramsPerHundredth, 6);
  }
  if (grams > kMaxDecimalGrams) return Letters('S');
  return text::ZeroPadded(grams / 1000, 2) + "." + text::ZeroPadded(grams % 1000, 3);
}

Bytes DigitronProtocol::FrameAnswer(const ScaleReading& reading, const std::string& frame) {
  using namespace ascii;
  constexpr size_t kStreamFrames = 3;
  if (frame != "stream") return Answer(reading);
  Bytes line(1, 'E');  // built up, not by +: GCC 12 -O3 warns falsely (-Wrestrict) there
  line += Field(reading);
  line += kCr;
  return ContinuousStream::Of(line, kStreamFrames);
}

}  // namespace trv::tools
