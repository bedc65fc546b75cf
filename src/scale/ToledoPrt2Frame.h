#pragma once

#include <cstddef>
#include <string>

#include "platform/Bytes.h"

namespace trv {

// A frame of the stream that Prt2-type Toledo scales send without being asked: STX, a sign
// ("+", "-" or a blank), the weight in kilograms with one or two integer digits and three
// decimals, CR. One packet of such a stream can hold several frames, or begin or end in the
// middle of one.
class ToledoPrt2Frame {
 public:
  // The signed weight text (sign, integer digits, ".", three decimals) of the last complete
  // frame in `received`; false when it holds none.
  static bool FindLast(const Bytes& received, std::string& signedWeight);

 private:
  // The length of a frame beginning at `stx`, CR included; 0 when none begins there.
  static size_t FrameLength(const Bytes& received, size_t stx);
};

}  // namespace trv
