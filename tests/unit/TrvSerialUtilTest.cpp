#include "serial/TrvSerialUtil.h"

#include <gtest/gtest.h>

#include "testing/ManualClock.h"

namespace trv {
namespace {

TEST(TickDifference, CountsForwardAcrossWrapAndBackwardSteps) {
  struct Case {
    uint32_t oldTick, newTick, expected;
  };
  const Case cases[] = {
      {7, 7, 0},                                // no time
      {100, 250, 150},                          // forward
      {0xFFFFFFF0u, 0x10, 32},                  // the counter wrapped
      {100, 50, 50},                            // the clock went back: counts as time spent
      {0x90000000u, 0x8FFFFFF0u, 0x10},         // a step back in the upper half
      {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu},  // across the middle: taken for a wrap
      {0xFFFFFFFFu, 0, 1},                      // wrap by one
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TickDifference(c.oldTick, c.newTick), c.expected)
        << std::hex << c.oldTick << " -> " << c.newTick;
  }
}

TEST(MillisecondTick, IsTheLow32BitsOfTheClock) {
  platform::ManualClock clock(0x1'0000'0005ull);
  platform::ScopedClock scoped(clock);
  EXPECT_EQ(MillisecondTick(), 5u);
  clock.Advance(0xFFFFFFFFull);
  EXPECT_EQ(MillisecondTick(), 4u);
}

TEST(FindLineEnd, FindsTheFirstLineEndAndItsKind) {
  struct Case {
    Bytes value;
    int position;
    Bytes found;
  };
  const Case cases[] = {
      {"A\r\nB", 2, "\r\n"}, {"A\r", 2, "\r"},     {"AB", -1, ""},
      {"", -1, ""},          {"\n\rX", 1, "\n\r"}, {"A\n", 2, "\n"},
      {"A\r\r", 2, "\r"},    {"A\n\n", 2, "\n"},   {Bytes("\0\r", 2), 2, "\r"},
  };
  for (const Case& c : cases) {
    Bytes found = "stale";
    EXPECT_EQ(FindLineEnd(c.value, found), c.position) << c.value;
    EXPECT_EQ(found, c.found);
  }
}

}  // namespace
}  // namespace trv
