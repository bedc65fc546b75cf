#pragma once

#include "SingleByteRequestProtocol.h"

namespace trv::tools {

// Magna scales: asked with the letter "P" (0x50), they answer one line ended by CR LF:
// "PESO <weight> kg" with the weight in kilograms and three decimals (up to 999.999 kg), or
// "PESO NEGATIVO" for a load below zero. The protocol has no unstable or overload form: a
// moving weight answers "PESO INSTAVEL" and an overloaded scale (or one above its range)
// "PESO SOBRECARGA", both of which read as no weight.
class MagnaProtocol final : public SingleByteRequestProtocol {
 public:
  MagnaProtocol() : SingleByteRequestProtocol('P') {}
  std::string Name() const override { return "magna"; }
  Bytes Answer(const ScaleReading& reading) override;
};

}  // namespace trv::tools
