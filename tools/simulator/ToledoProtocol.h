#pragma once

#include "FramedFieldProtocol.h"

namespace trv::tools {

// Toledo scales: asked with ENQ (0x05), they answer in the short form: STX, a field and ETX.
// The field is the weight in grams as six zero-padded decimal digits, or five letters for a
// reading without a weight: I (unstable), N (negative, also any weight below zero), S (overload,
// also any weight above 999999 g).
class ToledoProtocol final : public FramedFieldProtocol {
 public:
  ToledoProtocol() : FramedFieldProtocol(5) {}
  std::string Name() const override { return "toledo"; }

 protected:
  Bytes WeightField(int64_t grams) const override;
};

}  // namespace trv::tools
