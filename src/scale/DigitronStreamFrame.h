#pragma once

#include <cstddef>

#include "platform/Bytes.h"

namespace trv {

// A frame of the stream that Digitron-type scales send by themselves: a status letter, the six
// characters of the weight (leading blanks, an optional "-", digits with at most one decimal
// mark) and CR. Frames follow one another, so each begins at the start of a packet or right
// after the CR of the frame before; a packet may begin or end in the middle of one.
class DigitronStreamFrame {
 public:
  static constexpr size_t kLength = 8;

  // The start of the last complete frame in `received`; false when it holds none.
  static bool FindLast(const Bytes& received, size_t& start);

 private:
  static bool IsFrameAt(const Bytes& received, size_t start);
  // Leading blanks, an optional "-", then digits with at most one "." or "," to the end.
  static bool IsWeight(const Bytes& weight);
};

}  // namespace trv
