#pragma once

#include "SingleByteRequestProtocol.h"

namespace trv::tools {

// Toledo 2180 indicators: asked with ENQ (0x05), they answer five lines, each a grave accent
// (0x60), a six-character field and CR. The field is the weight in tenths of a kilogram as six
// zero-padded digits (the weight is rounded to 100 g; 001234 is 123.4 kg). The protocol has no
// status letters, so the states are shown by the lines themselves:
// - unstable: the fifth line shows the weight 100 g away from the first four (lower at the top
//   of the range), so the last three lines disagree;
// - negative (also any weight below zero): the field is "-" and five digits of the weight's
//   size, at least 100 g (the reading stays below zero after rounding);
// - overload (also any weight above 99999.9 kg): the field is six dashes, which is no number,
//   so the reading is no weight.
// Its other frame (FRAME standard): the standard continuous output with tare and checksum, five
// frames from the middle of one to the middle of another.
class Toledo2180Protocol final : public SingleByteRequestProtocol {
 public:
  Toledo2180Protocol() : SingleByteRequestProtocol(kEnq) {}
  std::string Name() const override { return "toledo2180"; }
  Bytes Answer(const ScaleReading& reading) override;
  std::vector<std::string> FrameKinds() const override { return {"standard"}; }
  Bytes FrameAnswer(const ScaleReading& reading, const std::string& frame) override;
};

}  // namespace trv::tools
