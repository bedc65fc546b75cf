#pragma once

#include "scale/TrvBALClass.h"

namespace trv {

// Toledo scales: asked once with ENQ. A short answer (20 bytes or fewer) holds a weight field
// between an optional STX and an optional ETX (or CR); a long answer (21 bytes or more) holds
// it at positions 3 to 8, and bit 3 of its ninth byte selects two implied decimals instead of
// three, and a "-" in its second byte makes a weight negative. The field is a weight in grams
// (or hundredths), kilograms with a mark, or a status letter. The frames that Toledo scales send
// by themselves are read when a packet holds them exactly: the standard continuous output, the
// Prt2-type stream (the last complete frame counts) and the answer with a product code.
class TTrvBALToledo : public TTrvBALClass {
 public:
  static constexpr char kModelName[] = "Toledo";

  explicit TTrvBALToledo(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The weight or weight code of one answer.
  static double ParseAnswer(const Bytes& answer);

 private:
  static double ParseLongAnswer(const Bytes& answer);
};

}  // namespace trv
