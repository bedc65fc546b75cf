#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ScaleReading.h"
#include "platform/Bytes.h"

namespace trv::tools {

// The answer side of one scale protocol: which bytes from the point of sale make a request,
// and what the scale sends for a reading. The simulator engine does the rest (timing, line,
// log). A protocol whose answer spans several lines returns them all, terminators included, as
// one answer; the engine sends an answer as a whole (or in two halves when told to split it).
class ScaleProtocol {
 public:
  virtual ~ScaleProtocol() = default;

  // The name the PROTOCOL command and --protocol use, in lower case.
  virtual std::string Name() const = 0;

  // Bytes of a complete request at the front of what was received; 0 when the front holds no
  // complete request (yet).
  virtual size_t RequestLength(const Bytes& received) const = 0;

  // Whether what was received (never empty) begins a request, complete or not. When it does
  // not, the engine drops the first byte as line noise and looks again.
  virtual bool BeginsRequest(const Bytes& received) const = 0;

  // The complete answer for the reading, as the scale would send it when asked (and, for
  // protocols that send by themselves, unasked).
  virtual Bytes Answer(const ScaleReading& reading) = 0;

  // The other frames the model's real scales send, by name (FRAME and --frame); none for most.
  virtual std::vector<std::string> FrameKinds() const { return {}; }

  // The reading in the frame kind `frame`, one of FrameKinds(). A state that the frame cannot
  // show is answered as Answer() does.
  virtual Bytes FrameAnswer(const ScaleReading& reading, const std::string& /*frame*/) {
    return Answer(reading);
  }
};

}  // namespace trv::tools
