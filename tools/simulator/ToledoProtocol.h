#pragma once

#include "FramedFieldProtocol.h"

namespace trv::tools {

// Toledo scales: asked with ENQ (0x05), they answer in the short form: STX, a field and ETX.
// The field is the weight in grams as six zero-padded decimal digits, or five letters for a
// reading without a weight: I (unstable), N (negative, also any weight below zero), S (overload,
// also any weight above 999999 g). Its other frames (FRAME):
// - long: the weight/price/total answer, STX, the sign ("-" below zero, else a blank), five
//   weight digits in grams, a blank, six price digits, a blank, six total digits, ETX; letters
//   in the weight for unstable and overload (also beyond 99999 g);
// - prt2: the stream of STX, "+" or "-", the weight in kg as PP.PPP, CR;
// - prt4: the answer with a product code, STX, six code digits, five weight digits in grams,
//   six price digits, six total digits, ETX (a settled weight of 0 to 99999 g only);
// - standard: the standard continuous output with its tare and checksum;
// - standard-short: the same without tare and checksum.
// The streams (prt2, standard, standard-short) are sent as a point of sale hears them, from the
// middle of one frame to the middle of another. A state a frame cannot show is answered as usual.
class ToledoProtocol final : public FramedFieldProtocol {
 public:
  ToledoProtocol() : FramedFieldProtocol(5) {}
  std::string Name() const override { return "toledo"; }
  std::vector<std::string> FrameKinds() const override;
  Bytes FrameAnswer(const ScaleReading& reading, const std::string& frame) override;

 protected:
  Bytes WeightField(int64_t grams) const override;
};

}  // namespace trv::tools
