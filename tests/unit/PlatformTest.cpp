// Text conversions, the timer queue and the support routines.
#include <gtest/gtest.h>

#include "device/TrvBase.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "platform/TimerQueue.h"
#include "testing/ManualClock.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace trv {
namespace {

TEST(Text, Windows1252ReachesUtf8AndBack) {
  struct Case {
    Bytes windows1252;
    std::string utf8;
  };
  const Case cases[] = {
      {"Porta n\xE3o definida", "Porta não definida"},
      {"Habilitar Balan\xE7"
       "a",
       "Habilitar Balança"},
      {"\x80 \x9C \xFF", "€ œ ÿ"},
      {Bytes("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::Windows1252ToUtf8(c.windows1252), c.utf8);
    EXPECT_EQ(platform::Utf8ToWindows1252(c.utf8), c.windows1252);
  }
  EXPECT_EQ(platform::Windows1252ToUtf8("\x81"), "\xC2\x81");  // undefined: the C1 control
  EXPECT_EQ(platform::Utf8ToWindows1252("日本"), "??");        // not in the code page
}

TEST(Text, Utf16RoundTripsAndRepairsBrokenInput) {
  const std::string text = "Balança 𝄞 €";
  EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)), text);
  EXPECT_EQ(platform::Utf8ToUtf16("\xC3"), u"\uFFFD");      // truncated sequence
  EXPECT_EQ(platform::Utf8ToUtf16("\xC0\x80"), u"\uFFFD");  // overlong zero
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");
  EXPECT_EQ(platform::AsciiUpper("com1 ção"), "COM1 çãO");  // ASCII letters only
}

TEST(TimerQueue, TicksAtTheIntervalWhileEnabled) {
  platform::ManualClock clock;
  platform::ScopedClock scopedClock(clock);
  platform::TimerQueue queue;
  platform::ScopedTimerService scopedService(queue);
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(200);
  timer.SetOnTimer([&](TTimer&) { ++ticks; });
  EXPECT_TRUE(timer.Running());  // enabled from creation, like the toolkit's timer
  queue.RunFor(1000);
  EXPECT_EQ(ticks, 5);
  timer.SetEnabled(false);
  queue.RunFor(1000);
  EXPECT_EQ(ticks, 5);
  timer.SetEnabled(true);
  timer.SetInterval(0);  // no interval, no ticks
  queue.RunFor(1000);
  EXPECT_EQ(ticks, 5);
  EXPECT_EQ(queue.Count(), 0u);
}

TEST(TimerQueue, ATickThatRaisesEndsThatTickOnly) {
  platform::ManualClock clock;
  platform::ScopedClock scopedClock(clock);
  platform::TimerQueue queue;
  platform::ScopedTimerService scopedService(queue);
  std::string reported;
  platform::SetTimerExceptionHandler([&](const std::string& message) { reported = message; });
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(100);
  timer.SetOnTimer([&](TTimer&) {
    ++ticks;
    throw Exception("falhou");
  });
  queue.RunFor(250);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(reported, "falhou");
  platform::SetTimerExceptionHandler([](const std::string&) {});
}

TEST(TimerQueue, AHandlerMayStopAndRestartItsTimer) {
  platform::ManualClock clock;
  platform::ScopedClock scopedClock(clock);
  platform::TimerQueue queue;
  platform::ScopedTimerService scopedService(queue);
  TTimer timer(nullptr);
  std::vector<uint64_t> at;
  timer.SetInterval(100);
  timer.SetOnTimer([&](TTimer& self) {
    self.SetEnabled(false);
    at.push_back(clock.Milliseconds());
    clock.Advance(30);  // the tick's own work
    self.SetEnabled(true);
  });
  queue.RunFor(400);
  EXPECT_EQ(at, (std::vector<uint64_t>{100, 230, 360}));
}

#ifndef _WIN32
// On the system clock, an idle timer waits for input on its source instead of ticking; once
// input is there it ticks on its own period, never earlier.
TEST(TimerQueue, AnIdleTimerTicksOnlyWhenItsSourceHasInput) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  platform::TimerQueue queue;
  platform::ScopedTimerService scopedService(queue);
  platform::Clock& clock = platform::SystemClock();
  TTimer timer(nullptr);
  std::vector<uint64_t> at;
  timer.SetInterval(200);
  timer.SetIdleSource([&] { return intptr_t{pipeEnds[0]}; });
  timer.SetOnTimer([&](TTimer&) { at.push_back(clock.Milliseconds()); });
  const uint64_t start = clock.Milliseconds();
  queue.RunFor(450);
  EXPECT_TRUE(at.empty());
  ASSERT_EQ(write(pipeEnds[1], "x", 1), 1);
  queue.RunFor(450);
  ASSERT_FALSE(at.empty());
  EXPECT_GE(at.front() - start, 600u);  // the first moment of its period after the input
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}
#endif

TEST(SupportRoutines, BitTest) {
  EXPECT_TRUE(IsBitSet(0x08, 3));
  EXPECT_FALSE(IsBitSet(0x08, 2));
  EXPECT_TRUE(IsBitSet(-1, 31));
  EXPECT_TRUE(IsBitSet(INT32_MIN, 31));
  EXPECT_FALSE(IsBitSet(0x7FFFFFFF, 31));
  EXPECT_FALSE(IsBitSet(-1, 32));  // beyond the value: never set
}

TEST(SupportRoutines, OptionalFunctionsMayBeMissing) {
  void* entry = reinterpret_cast<void*>(1);
  EXPECT_FALSE(LoadOptionalFunction("travinel-no-such-library.dll", "Inp32", entry));
  EXPECT_EQ(entry, nullptr);
#ifdef _WIN32
  const char* present = "kernel32.dll";
  const char* exported = "GetTickCount";
#else
  const char* present = "libc.so.6";
  const char* exported = "abort";
#endif
  EXPECT_FALSE(LoadOptionalFunction(present, "TravinelNoSuchFunction", entry));
  EXPECT_EQ(entry, nullptr);
  EXPECT_TRUE(LoadOptionalFunction(present, exported, entry));
  EXPECT_NE(entry, nullptr);
  // inpout32.dll is not on this machine: its entries stay null, and nothing fails.
  EXPECT_EQ(ResolvedOptionalFunctions().Inp32, nullptr);
  EXPECT_EQ(ResolvedOptionalFunctions().Out32, nullptr);
}

}  // namespace
}  // namespace trv
