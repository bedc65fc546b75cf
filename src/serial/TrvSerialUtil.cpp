#include "serial/TrvSerialUtil.h"

#include <bit>

#include "platform/Clock.h"

namespace trv {

uint32_t MillisecondTick() {
  return static_cast<uint32_t>(platform::CurrentClock().Milliseconds());
}

uint32_t TickDifference(uint32_t oldTick, uint32_t newTick) {
  if (newTick >= oldTick) return newTick - oldTick;
  constexpr uint32_t kHalf = 0x80000000u;
  const bool wrapped = oldTick >= kHalf && newTick < kHalf;
  return wrapped ? newTick - oldTick : oldTick - newTick;
}

int FindLineEnd(const Bytes& value, Bytes& found) {
  found.clear();
  const auto index = value.find_first_of("\r\n");
  if (index == Bytes::npos) return -1;
  found = value.substr(index, 1);
  if (index + 1 < value.size()) {
    const char next = value[index + 1];
    if ((found[0] == '\r' && next == '\n') || (found[0] == '\n' && next == '\r')) {
      found += next;
    }
  }
  return static_cast<int>(index) + 1;
}

Bytes EncodeInt32BigEndian(int32_t value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  return Bytes{static_cast<char>(bits >> 24), static_cast<char>(bits >> 16),
               static_cast<char>(bits >> 8), static_cast<char>(bits)};
}

Bytes EncodeInt32LittleEndian(int32_t value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  return Bytes{static_cast<char>(bits), static_cast<char>(bits >> 8), static_cast<char>(bits >> 16),
               static_cast<char>(bits >> 24)};
}

int32_t DecodeInt32LittleEndian(const Bytes& bytes) {
  uint32_t bits = 0;
  for (size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    bits |= uint32_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  }
  // Computed unsigned and then taken as the signed value of the same bits: a top byte of 0x80
  // or more gives a negative number, never an overflow.
  return std::bit_cast<int32_t>(bits);
}

int32_t ReverseByteOrder32(int32_t value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  const uint32_t reversed =
      (bits >> 24) | ((bits >> 8) & 0xFF00u) | ((bits << 8) & 0xFF0000u) | (bits << 24);
  return std::bit_cast<int32_t>(reversed);
}

void WriteBytesToStream(ByteStream& stream, const Bytes& bytes) {
  stream.Write(bytes.data(), bytes.size());
}

}  // namespace trv
