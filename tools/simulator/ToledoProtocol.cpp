#include "ToledoProtocol.h"

#include "ContinuousStream.h"
#include "SimulatorText.h"
#include "ToledoStandardOutput.h"
#include "platform/ControlBytes.h"

namespace trv::tools {
namespace {

using namespace ascii;
constexpr int64_t kMaxFiveDigits = 99999;
constexpr size_t kStreamFrames = 3;
constexpr char kPrice[] = "001990";  // centavos per kg
constexpr char kProductCode[] = "000123";

bool BelowZero(const ScaleReading& reading) {
  return reading.state == ScaleState::Negative || reading.grams < 0;
}

// The weight's size; the control commands bound the grams far from overflow.
int64_t Size(int64_t grams) {
  return grams < 0 ? -grams : grams;
}

// What the goods cost at the price per kg, in centavos (six digits at most).
Bytes Total(int64_t grams) {
  return text::ZeroPadded(grams * 1990 / 1000 % 1000000, 6);
}

Bytes WeightPriceTotal(const ScaleReading& reading) {
  const int64_t size = Size(reading.grams);
  Bytes weight = text::ZeroPadded(size, 5);
  if (reading.state == ScaleState::Unstable) weight = "IIIII";
  if (reading.state == ScaleState::Overload || size > kMaxFiveDigits) weight = "SSSSS";
  const char sign = BelowZero(reading) ? '-' : ' ';
  const Bytes total = size > kMaxFiveDigits ? "000000" : Total(size);
  return kStx + (sign + weight) + " " + kPrice + " " + total + kEtx;
}

bool Settled(const ScaleReading& reading) {
  return reading.state == ScaleState::Stable && reading.grams >= 0 &&
         reading.grams <= kMaxFiveDigits;
}

Bytes Prt2Frame(const ScaleReading& reading) {
  const int64_t size = Size(reading.grams);
  const char sign = BelowZero(reading) ? '-' : '+';
  return kStx + (sign + text::ZeroPadded(size / 1000, 2)) + "." + text::ZeroPadded(size % 1000, 3) +
         kCr;
}

Bytes WithProductCode(const ScaleReading& reading) {
  return kStx + Bytes(kProductCode) + text::ZeroPadded(reading.grams, 5) + kPrice +
         Total(reading.grams) + kEtx;
}

}  // namespace

Bytes ToledoProtocol::WeightField(int64_t grams) const {
  return SixDigitGrams(grams);
}

std::vector<std::string> ToledoProtocol::FrameKinds() const {
  return {"long", "prt2", "prt4", "standard", "standard-short"};
}

Bytes ToledoProtocol::FrameAnswer(const ScaleReading& reading, const std::string& frame) {
  const bool prt2Shows =
      (reading.state == ScaleState::Stable || reading.state == ScaleState::Negative) &&
      Size(reading.grams) <= kMaxFiveDigits;
  if (frame == "long") return WeightPriceTotal(reading);
  if (frame == "prt2" && prt2Shows) return ContinuousStream::Of(Prt2Frame(reading), kStreamFrames);
  if (frame == "prt4" && Settled(reading)) return WithProductCode(reading);
  if (frame == "standard") {
    return ContinuousStream::Of(ToledoStandardOutput::Frame(reading, true, true), kStreamFrames);
  }
  if (frame == "standard-short") {
    return ContinuousStream::Of(ToledoStandardOutput::Frame(reading, false, false), kStreamFrames);
  }
  return Answer(reading);
}

}  // namespace trv::tools
