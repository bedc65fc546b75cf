#include "serial/TrvSerialUtil.h"

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

}  // namespace trv
