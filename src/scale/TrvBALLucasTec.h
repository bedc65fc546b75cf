#pragma once

#include <array>
#include <string>

#include "scale/TrvBALClass.h"

namespace trv {

// LucasTec scales: asked once with ENQ, they answer with four lines ended by CR. A line holds
// up to three labelled weights, each number written before its label: gross ("kg B "), tare
// ("kg T") and net ("kg L"). Each line gives one reading (the net weight when positive, else
// the gross; negative when the tare exceeds the gross) and the weight counts only when the
// last three readings agree.
class TTrvBALLucasTec : public TTrvBALClass {
 public:
  static constexpr size_t kLines = 4;

  static constexpr char kModelName[] = "LucasTec";

  explicit TTrvBALLucasTec(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The text of a line as received (without its CR): what follows its first STX, or all of it
  // when it holds none.
  static Bytes LineText(const Bytes& line);
  // The reading of one line's text: 0 without a gross label followed by a space, -2 when the
  // tare exceeds the gross or the weight is below zero, else the net weight when positive,
  // else the gross.
  static double LineReading(const std::string& text);
  // The weight of a line's four readings: the last when the last three are equal, else the
  // unstable code. The first reading takes no part.
  static double SettledReading(const std::array<double, kLines>& readings);
  // The weight of a whole answer (four CR-ended lines in one piece, as a burst brings them);
  // the read-failure code when fewer than four lines are complete.
  static double ParseAnswer(const Bytes& answer);

 private:
  // The number written before the first occurrence of `label` (any letter case): the last
  // space-separated word of the text before it; 0 when there is none or it is no number.
  static double WeightBeforeLabel(const std::string& text, const std::string& label);
};

}  // namespace trv
