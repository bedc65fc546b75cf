#pragma once

#include "SingleByteRequestProtocol.h"

namespace trv::tools {

// LucasTec scales: asked with ENQ (0x05), they answer four lines, each STX, the labelled
// weights "B <gross> kg B T <tare> kg T L <net> kg L" in kilograms with three decimals, and CR.
// A stable weight repeats one line four times with no tare (net = gross). A weight still
// moving changes by a gram from line to line. A load below zero shows the amount as a tare
// over a zero gross (net below zero). The protocol has no overload form: an overloaded scale
// (or one above 999.999 kg) shows dashes instead of its numbers, which reads as no weight.
class LucasTecProtocol final : public SingleByteRequestProtocol {
 public:
  LucasTecProtocol() : SingleByteRequestProtocol(kEnq) {}
  std::string Name() const override { return "lucastec"; }
  Bytes Answer(const ScaleReading& reading) override;
};

}  // namespace trv::tools
