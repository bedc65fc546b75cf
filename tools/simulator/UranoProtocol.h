#pragma once

#include "SingleByteRequestProtocol.h"

namespace trv::tools {

// Urano scales: asked with ENQ (0x05), they answer a text line: "E PESO:", a sign position, the
// weight in kilograms with three decimals and a comma, and "kg" ("E PESO: 1,234kg"). The "E"
// two characters before "PESO" marks a settled weight:
// - unstable: a space takes the place of the "E";
// - negative (also any weight below zero): a "-" in the sign position, followed by the
//   weight's size;
// - overload: the protocol has no form for it; the scale shows dashes instead of a number
//   ("E PESO: ------kg"), which reads as no weight.
class UranoProtocol final : public SingleByteRequestProtocol {
 public:
  UranoProtocol() : SingleByteRequestProtocol(kEnq) {}
  std::string Name() const override { return "urano"; }
  Bytes Answer(const ScaleReading& reading) override;
};

}  // namespace trv::tools
