#pragma once

#include "ScaleReading.h"
#include "platform/Bytes.h"

namespace trv::tools {

// A frame of Toledo's standard continuous output, in kilograms with three decimals: STX, status
// words A, B and C, six weight digits, six tare digits (none in the short form), CR and, when
// asked for, the checksum (the two's complement of the sum of the low seven bits from STX to
// CR). Status word B shows the state: motion for unstable, negative for negative (or a weight
// below zero), out of range for overload (or a weight beyond 999.999 kg).
class ToledoStandardOutput {
 public:
  static Bytes Frame(const ScaleReading& reading, bool withTare, bool withChecksum);
};

}  // namespace trv::tools
