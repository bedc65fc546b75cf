#pragma once

#include "FramedFieldProtocol.h"

namespace trv::tools {

// Filizola scales: asked with ENQ (0x05), they answer STX, a six-character field and ETX. The
// field is the weight in grams as six zero-padded decimal digits, or six letters for a reading
// without a weight: I (unstable), N (negative), S (overload, also any weight above 999999 g).
class FilizolaProtocol final : public FramedFieldProtocol {
 public:
  FilizolaProtocol() : FramedFieldProtocol(6) {}
  std::string Name() const override { return "filizola"; }

 protected:
  Bytes WeightField(int64_t grams) const override;
};

}  // namespace trv::tools
