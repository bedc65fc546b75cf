#pragma once

#include <cstddef>

#include "platform/Bytes.h"

namespace trv::tools {

// What a point of sale receives from a scale that sends frames without pause: it starts
// listening in the middle of a frame and stops in the middle of another. Successive answers join
// into one unbroken stream, since each ends where the next begins.
class ContinuousStream {
 public:
  // The second half of `frame`, `frames` whole frames, then the first half.
  static Bytes Of(const Bytes& frame, size_t frames);
};

}  // namespace trv::tools
