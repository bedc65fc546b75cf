#pragma once

#include "FramedFieldProtocol.h"

namespace trv::tools {

// Digitron scales: asked with ENQ (0x05), they answer STX, a six-character field and ETX. A
// weight of whole tens of grams is six zero-padded digits of hundredths of a kilogram (up to
// 9999.99 kg); any other weight up to 99.999 kg is written in kilograms with a decimal point
// and three decimals. Six letters stand for a reading without a weight: I (unstable),
// N (negative), S (overload, also any weight that six characters cannot hold exactly).
// Its other frame (FRAME stream): the stream of the status letter E, the same six characters
// and CR, three frames from the middle of one to the middle of another.
class DigitronProtocol final : public FramedFieldProtocol {
 public:
  DigitronProtocol() : FramedFieldProtocol(6) {}
  std::string Name() const override { return "digitron"; }
  std::vector<std::string> FrameKinds() const override { return {"stream"}; }
  Bytes FrameAnswer(const ScaleReading& reading, const std::string& frame) override;

 protected:
  Bytes WeightField(int64_t grams) const override;
};

}  // namespace trv::tools
