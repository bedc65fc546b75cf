#pragma once

#include "scale/TrvBALClass.h"

namespace trv {

// Filizola scales: the request is ENQ; the answer a weight field, in grams or in kilograms
// with a decimal mark, optionally framed by STX and ETX, or a status letter. A weight below
// zero is the negative code.
class TTrvBALFilizola : public TTrvBALClass {
 public:
  static constexpr char kModelName[] = "Filizola";

  explicit TTrvBALFilizola(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The weight or weight code of one answer.
  static double ParseAnswer(const Bytes& answer);
};

}  // namespace trv
