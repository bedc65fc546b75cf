#pragma once

#include "FramedFieldProtocol.h"

namespace trv::tools {

// Filizola scales: asked with ENQ (0x05), they answer STX, a six-character field and ETX. The
// field is the weight in grams as six zero-padded decimal digits, or six letters for a reading
// without a weight: I (unstable), N (negative), S (overload, also any weight above 999999 g).
// Its other frame (FRAME signed), as Filizola-compatible modes send it: a weight below zero (or
// a negative reading) is "-" and five digits of its size in grams, up to 99999 g.
class FilizolaProtocol final : public FramedFieldProtocol {
 public:
  FilizolaProtocol() : FramedFieldProtocol(6) {}
  std::string Name() const override { return "filizola"; }
  std::vector<std::string> FrameKinds() const override { return {"signed"}; }
  Bytes FrameAnswer(const ScaleReading& reading, const std::string& frame) override;

 protected:
  Bytes WeightField(int64_t grams) const override;
};

}  // namespace trv::tools
