#pragma once

#include <cstdint>

#include "platform/Bytes.h"

namespace trv {

// 32-bit millisecond count of the current clock; wraps at 2^32.
uint32_t MillisecondTick();

// Milliseconds from oldTick to newTick, across a wrap of the counter. A clock that went back
// counts the step back as time spent, so callers never wait longer than their budget.
uint32_t TickDifference(uint32_t oldTick, uint32_t newTick);

// Position (from 1) of the first CR or LF of value, -1 when there is none. found receives the
// line end there: CR, LF, CR LF or LF CR.
int FindLineEnd(const Bytes& value, Bytes& found);

}  // namespace trv
