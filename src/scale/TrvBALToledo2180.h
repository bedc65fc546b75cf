#pragma once

#include <array>

#include "scale/TrvBALClass.h"

namespace trv {

// Toledo 2180 indicators: asked once with ENQ, they send lines ended by CR, each with a weight
// of six characters and one implied decimal after a grave accent. Five lines make a reading;
// the weight counts only when the last three agree, otherwise the scale is still settling.
// Indicators set to the standard continuous output send frames that end in CR instead: when the
// five lines hold one exactly, the last complete frame gives the weight.
class TTrvBALToledo2180 : public TTrvBALClass {
 public:
  static constexpr size_t kLines = 5;
  using Readings = std::array<double, kLines>;

  static constexpr char kModelName[] = "Toledo 2180";

  explicit TTrvBALToledo2180(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The weight of one line, without its CR: the six characters after the first grave accent
  // with one implied decimal. A line without an accent, or whose field is no number, reads 0.
  static double ReadingOf(const Bytes& line);
  // The weight of five readings: the last one when the last three are equal (the negative code
  // for a weight below zero), else the unstable code.
  static double WeightOf(const Readings& readings);
  // The weight of the five lines `received` (each with its CR) and of their readings: the last
  // standard frame among them, or else the readings' weight.
  static double WeightOf(const Readings& readings, const Bytes& received);
  // The weight of a burst of CR-ended lines, as the reception reads it: fewer than five
  // complete lines is a read failure; what follows the fifth CR is not looked at.
  static double ParseAnswer(const Bytes& lines);
};

}  // namespace trv
