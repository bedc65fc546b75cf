#pragma once

#include "scale/TrvBALClass.h"

namespace trv {

// Urano scales: asked once with ENQ, they answer a text such as "PESO: 1,234kg". The weight
// stands after the first ":" (or "N0") and ends two characters before the first "g"; a space
// two characters before "PESO" marks the weight as unstable, a "-" right after the start mark as
// negative.
class TTrvBALUrano : public TTrvBALClass {
 public:
  static constexpr char kModelName[] = "Urano";

  explicit TTrvBALUrano(TComponent* AOwner);

  // Unlike the other drivers, the previous reading stays until the answer is received.
  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The weight or weight code of one answer.
  static double ParseAnswer(const Bytes& answer);
};

}  // namespace trv
