#pragma once

#include "ScaleProtocol.h"

namespace trv::tools {

// Magna scales: asked with the letter "P" (0x50), they answer one line ended by CR LF:
// "PESO <weight> kg" with the weight in kilograms and three decimals (up to 999.999 kg), or
// "PESO NEGATIVO" for a load below zero. The protocol has no unstable or overload form: a
// moving weight answers "PESO INSTAVEL" and an overloaded scale (or one above its range)
// "PESO SOBRECARGA", both of which read as no weight.
class MagnaProtocol final : public ScaleProtocol {
 public:
  std::string Name() const override { return "magna"; }
  size_t RequestLength(const Bytes& received) const override;
  bool BeginsRequest(const Bytes& received) const override;
  Bytes Answer(const ScaleReading& reading) override;
};

}  // namespace trv::tools
