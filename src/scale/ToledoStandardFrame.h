#pragma once

#include <cstddef>

#include "platform/Bytes.h"

namespace trv {

// Toledo's standard continuous output, which industrial indicators and many retail scales send
// in their "Toledo" mode: STX, three status words (A, B, C), six weight digits, six tare digits
// (none in the short form), CR, and an optional checksum. It is recognised only exactly: the
// status words' fixed bits, digits where digits belong, and the checksum where one follows.
class ToledoStandardFrame {
 public:
  // The weight in kg or the weight code of the last complete frame in `received`; false when
  // it holds none.
  static bool ReadLast(const Bytes& received, double& weight);

 private:
  // The index of the CR of a frame that begins at `stx`; 0 when no frame begins there.
  static size_t FrameEnd(const Bytes& received, size_t stx);
  // Whether what follows the CR at `cr` fits: the frame's checksum, the next frame's STX, or
  // nothing yet.
  static bool FollowedFittingly(const Bytes& received, size_t stx, size_t cr);
  static double ReadingOf(const Bytes& received, size_t stx);
};

}  // namespace trv
