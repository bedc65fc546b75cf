#include "FilizolaProtocol.h"

#include "SimulatorText.h"
#include "platform/ControlBytes.h"

namespace trv::tools {

Bytes FilizolaProtocol::WeightField(int64_t grams) const {
  return SixDigitGrams(grams);
}

Bytes FilizolaProtocol::FrameAnswer(const ScaleReading& reading, const std::string& frame) {
  using namespace ascii;
  constexpr int64_t kMaxSize = 99999;
  const bool negative = reading.state == ScaleState::Negative ||
                        (reading.state == ScaleState::Stable && reading.grams < 0);
  const int64_t size = reading.grams < 0 ? -reading.grams : reading.grams;
  if (frame != "signed" || !negative || size > kMaxSize) return Answer(reading);
  // Built up, not by +: at -O3 GCC 12 warns falsely (-Wrestrict) on the concatenation.
  Bytes answer(1, kStx);
  answer += '-';
  answer += text::ZeroPadded(size, 5);
  answer += kEtx;
  return answer;
}

}  // namespace trv::tools
