#pragma once

#include "scale/TrvBALClass.h"

namespace trv {

// Digitron scales: asked once with ENQ, they answer a start byte, a six-character weight field
// and an end byte. A field without a decimal mark counts hundredths of a kilogram; a field that
// is no number is a status letter. Scales that send a stream of frames by themselves (a status
// letter, the weight and CR) are read from the last complete frame of what arrived.
class TTrvBALDigitron : public TTrvBALClass {
 public:
  static constexpr char kModelName[] = "Digitron";

  explicit TTrvBALDigitron(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The part of an answer that the driver keeps: its first ten bytes.
  static Bytes KeptAnswer(const Bytes& answer);
  // The weight or weight code of an answer, read from the six characters after its first byte.
  static double ParseAnswer(const Bytes& answer);

 private:
  // The weight or weight code of the six characters after the first byte.
  static double ParseFrame(const Bytes& answer);
};

}  // namespace trv
