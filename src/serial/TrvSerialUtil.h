#pragma once

#include <cstdint>

#include "platform/Bytes.h"
#include "serial/ByteStream.h"

namespace trv {

// 32-bit millisecond count of the current clock; wraps at 2^32.
uint32_t MillisecondTick();

// Milliseconds from oldTick to newTick, across a wrap of the counter. A clock that went back
// counts the step back as time spent, so callers never wait longer than their budget.
uint32_t TickDifference(uint32_t oldTick, uint32_t newTick);

// Position (from 1) of the first CR or LF of value, -1 when there is none. found receives the
// line end there: CR, LF, CR LF or LF CR.
int FindLineEnd(const Bytes& value, Bytes& found);

// The four bytes of value, most significant first.
Bytes EncodeInt32BigEndian(int32_t value);

// The four bytes of value, least significant first.
Bytes EncodeInt32LittleEndian(int32_t value);

// The integer whose bytes, least significant first, are the first four of bytes.
int32_t DecodeInt32LittleEndian(const Bytes& bytes);

// value with its four bytes in reverse order: 0x11223344 becomes 0x44332211.
int32_t ReverseByteOrder32(int32_t value);

// Writes all of bytes to the stream in one write.
void WriteBytesToStream(ByteStream& stream, const Bytes& bytes);

}  // namespace trv
