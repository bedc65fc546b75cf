#pragma once

#include <string>

#include "scale/TrvBALClass.h"

namespace trv {

// Magna scales: asked with the letter "P", they answer a line ended by LF whose weight stands
// between the first space and the unit "kg". A negative or unread weight replaces the answer
// by a Portuguese text (Windows-1252 bytes).
class TTrvBALMagna : public TTrvBALClass {
 public:
  static constexpr char kModelName[] = "Magna";

  explicit TTrvBALMagna(TComponent* AOwner);

  double LePeso(int MillisecTimeOut) override;
  void LeSerial(int MillisecTimeOut) override;

  // The bytes that ask the scale for its weight.
  static Bytes Request();

  // The line of an answer: its bytes before the first LF; empty when it holds no LF.
  static Bytes AnswerLine(const Bytes& answer);
  // The weight field of a line: from its first space (included) up to the character before
  // its first "k", or before its last character when it holds no "k".
  static std::string WeightField(const Bytes& line);
  // The weight or weight code of a line. Only -2 (negative), -9 (nothing readable) and 0 (no
  // weight) are codes here: this scale reports neither unstable nor overload.
  static double ParseLine(const Bytes& line);
  // The weight or weight code of a whole answer.
  static double ParseAnswer(const Bytes& answer);
  // What the driver keeps as the answer for a reading: the line, or for a negative or unread
  // weight "Peso Negativo " or "Peso N\xE3o Lido " (Windows-1252).
  static Bytes StoredAnswer(double weight, const Bytes& line);
};

}  // namespace trv
