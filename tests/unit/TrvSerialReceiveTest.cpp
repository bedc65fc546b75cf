// Reception: packets, fixed amounts, terminated lines, single bytes and the line buffer.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "SerialFixture.h"

namespace trv::testing {
namespace {

class SerialReceive : public SerialFixture {
 protected:
  void SetUp() override { ConnectFresh(); }
};

TEST_F(SerialReceive, PacketHandsOutTheLineBufferAloneFirst) {
  serial_.SetLineBuffer("held");
  port_->ArriveAt(Now(), "waiting");
  EXPECT_EQ(serial_.RecvPacket(500), "held");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvPacket(500), "waiting");
}

TEST_F(SerialReceive, PacketIsWhateverHasArrived) {
  port_->ArriveAt(Now() + 20, "P 001");
  port_->ArriveAt(Now() + 60, "234\r");
  EXPECT_EQ(serial_.RecvPacket(500), "P 001");
  EXPECT_EQ(Now(), 1020u);
  EXPECT_EQ(serial_.RecvPacket(500), "234\r");
  EXPECT_EQ(Now(), 1060u);
  EXPECT_GE(clock_.Yields(), 2);  // yields before looking at the driver
}

TEST_F(SerialReceive, SilentLineTimesOut) {
  EXPECT_EQ(serial_.RecvPacket(500), "");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now(), 1500u);

  serial_.SetRaiseExcept(true);
  try {
    serial_.RecvPacket(500);
    FAIL() << "no exception";
  } catch (const ETrvSerialError& e) {
    EXPECT_EQ(std::string(e.what()), "Communication error 9997: Timeout during operation");
  }
}

TEST_F(SerialReceive, ReceptionNeedsAConnectedPort) {
  serial_.CloseSocket();
  char buffer[4];
  EXPECT_EQ(serial_.RecvPacket(100), "");
  EXPECT_EQ(serial_.LastError(), 9994);
  EXPECT_EQ(serial_.RecvBuffer(buffer, 4), 0);
  EXPECT_EQ(serial_.RecvBufferEx(buffer, 4, 100), 0);
  EXPECT_EQ(serial_.RecvBufferStr(4, 100), "");
  EXPECT_EQ(serial_.RecvByte(100), 0);
  EXPECT_EQ(serial_.RecvTerminated(100, "\r"), "");
  EXPECT_EQ(serial_.LastError(), 9994);
  EXPECT_EQ(Now(), 1000u);
}

TEST_F(SerialReceive, RawReadWaitsForTheWholeLengthUpToTheDeadlock) {
  serial_.SetDeadlockTimeout(300);
  port_->ArriveAt(Now() + 50, "ab");
  port_->ArriveAt(Now() + 100, "cd");
  char buffer[8] = {};
  EXPECT_EQ(serial_.RecvBuffer(buffer, 4), 4);
  EXPECT_EQ(Bytes(buffer, 4), "abcd");
  EXPECT_EQ(reports_.back(), std::make_pair(HR_ReadCount, std::string("4")));

  port_->ArriveAt(Now() + 10, "e");
  EXPECT_EQ(serial_.RecvBuffer(buffer, 8), 1);
  EXPECT_EQ(serial_.LastError(), 9997);
}

TEST_F(SerialReceive, RawReadIgnoresTheLineBuffer) {
  serial_.SetLineBuffer("held");
  port_->ArriveAt(Now(), "new");
  char buffer[3];
  EXPECT_EQ(serial_.RecvBuffer(buffer, 3), 3);
  EXPECT_EQ(Bytes(buffer, 3), "new");
  EXPECT_EQ(serial_.LineBuffer(), "held");
}

TEST_F(SerialReceive, FixedAmountKeepsTheRestOfThePacket) {
  port_->ArriveAt(Now(), "ABCDEF");
  char buffer[4];
  EXPECT_EQ(serial_.RecvBufferEx(buffer, 4, 500), 4);
  EXPECT_EQ(Bytes(buffer, 4), "ABCD");
  EXPECT_EQ(serial_.LineBuffer(), "EF");
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialReceive, FixedAmountTimeoutPerPacketOrForTheWholeCall) {
  // Bytes trickle in every 300 ms: each packet wait of 500 ms is met...
  for (int i = 1; i <= 4; ++i) port_->ArriveAt(Now() + 300 * i, Bytes(1, char('0' + i)));
  char buffer[4];
  EXPECT_EQ(serial_.RecvBufferEx(buffer, 4, 500), 4);
  EXPECT_EQ(Now(), 2200u);  // ...so the call takes far longer than 500 ms

  // ...whereas one budget for the whole call ends it after about 500 ms.
  serial_.SetInterPacketTimeout(false);
  for (int i = 1; i <= 4; ++i) port_->ArriveAt(Now() + 300 * i, Bytes(1, char('0' + i)));
  EXPECT_EQ(serial_.RecvBufferEx(buffer, 4, 500), 1);
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now(), 2700u);
}

TEST_F(SerialReceive, FixedAmountBudgetSpentBetweenPacketsIsNotRaised) {
  serial_.SetInterPacketTimeout(false);
  serial_.SetRaiseExcept(true);
  for (int i = 1; i <= 4; ++i) port_->ArriveAt(Now() + 125 * i, "x");
  char buffer[4];
  EXPECT_EQ(serial_.RecvBufferEx(buffer, 4, 250), 2);  // the budget ends as the 2nd arrives
  EXPECT_EQ(serial_.LastError(), 9997);
}

TEST_F(SerialReceive, FixedAmountThatRaisesKeepsWhatItStored) {
  serial_.SetRaiseExcept(true);
  serial_.SetLineBuffer("A");
  port_->ArriveAt(Now(), "BC");
  char buffer[8];
  EXPECT_THROW(serial_.RecvBufferEx(buffer, 8, 100), ETrvSerialError);
  EXPECT_EQ(serial_.LineBuffer(), "ABC");  // the next reception sees them
}

// A line that hangs up in the middle of a read, with RaiseExcept on: every reception raises the
// platform's code, and what the read did receive is the line buffer for the next call.
TEST_F(SerialReceive, ARaisedFailureKeepsWhatTheReadReceived) {
  struct Case {
    const char* name;
    std::function<void(TTrvSerial&)> receive;
  };
  char buffer[16];
  const std::vector<Case> cases = {
      {"RecvPacket", [](TTrvSerial& s) { s.RecvPacket(100); }},
      {"RecvBufferEx", [&](TTrvSerial& s) { s.RecvBufferEx(buffer, 16, 100); }},
      {"RecvBufferEx, packet beyond the room",
       [&](TTrvSerial& s) { s.RecvBufferEx(buffer, 3, 100); }},
      {"RecvBufferStr", [](TTrvSerial& s) { s.RecvBufferStr(16, 100); }},
      {"RecvTerminated", [](TTrvSerial& s) { s.RecvTerminated(100, "\r"); }},
      {"RecvByte", [](TTrvSerial& s) { s.RecvByte(100); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serial_.SetRaiseExcept(true);
    port_->ArriveAt(Now(), "ABCDEFGH");
    port_->CutNextRead(5, 5);
    try {
      c.receive(serial_);
      ADD_FAILURE() << "no exception";
    } catch (const ETrvSerialError& e) {
      EXPECT_EQ(e.ErrorCode, 5);
    }
    EXPECT_EQ(serial_.LineBuffer(), "ABCDE");
    serial_.SetRaiseExcept(false);
    EXPECT_EQ(serial_.RecvBufferStr(8, 100), "ABCDEFGH");
    EXPECT_EQ(serial_.LastError(), 0);
  }
}

TEST_F(SerialReceive, FixedAmountStringOfZeroIsEmptyAndQuiet) {
  EXPECT_EQ(serial_.RecvBufferStr(0, 500), "");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(Now(), 1000u);
}

TEST_F(SerialReceive, FixedAmountStringKeepsWhatItReceivedWhenItFails) {
  port_->ArriveAt(Now(), "12");
  EXPECT_EQ(serial_.RecvBufferStr(5, 200), "");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(serial_.LineBuffer(), "12");  // the next reception sees them
  port_->ArriveAt(Now(), "345");
  EXPECT_EQ(serial_.RecvBufferStr(5, 200), "12345");
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialReceive, FixedAmountStringDoesNotReserveWhatNeverCame) {
  port_->ArriveAt(Now(), "ok");
  EXPECT_EQ(serial_.RecvBufferStr(0x7FFFFFFF, 100), "");  // no 2 GiB allocation up front
  EXPECT_EQ(serial_.LineBuffer(), "ok");
}

TEST_F(SerialReceive, SingleBytesComeFromTheLineBuffer) {
  port_->ArriveAt(Now(), Bytes("A\0", 2));
  EXPECT_EQ(serial_.RecvByte(100), 'A');
  EXPECT_EQ(serial_.LineBuffer(), Bytes(1, '\0'));
  EXPECT_EQ(serial_.RecvByte(100), '\0');
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvByte(100), '\0');
  EXPECT_EQ(serial_.LastError(), 9997);  // a time-out differs from a zero byte by its code
}

TEST_F(SerialReceive, TerminatedLineLeavesTheRestForTheNextCall) {
  port_->ArriveAt(Now(), "KLM\rNOP");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "KLM");
  EXPECT_EQ(serial_.LineBuffer(), "NOP");
  port_->ArriveAt(Now(), "late");
  port_->ClearCalls();
  EXPECT_EQ(serial_.RecvPacket(500), "NOP");
  EXPECT_TRUE(port_->Calls().empty());  // the port was not touched
}

TEST_F(SerialReceive, TerminatedLineGathersSplitAnswers) {
  struct Case {
    std::vector<Bytes> packets;
    Bytes terminator;
    Bytes line;
    Bytes rest;
  };
  const Case cases[] = {
      {{"00", "1.2", "34\r"}, "\r", "001.234", ""},
      {{"ab\r", "\ncd"}, "\r\n", "ab", "cd"},  // a terminator split across packets
      {{"x\r\n\r\ny"}, "\r\n", "x", "\r\ny"},
      {{Bytes("\0\x02", 2), Bytes("\x03\r", 2)}, "\r", Bytes("\0\x02\x03", 3), ""},
      {{"ETX", "\x03"}, "\x03", "ETX", ""},
  };
  for (const Case& c : cases) {
    serial_.Purge();
    for (size_t i = 0; i < c.packets.size(); ++i) port_->ArriveAt(Now() + 10 * i, c.packets[i]);
    EXPECT_EQ(serial_.RecvTerminated(500, c.terminator), c.line);
    EXPECT_EQ(serial_.LastError(), 0);
    EXPECT_EQ(serial_.LineBuffer(), c.rest);
  }
}

TEST_F(SerialReceive, EmptyTerminatorReturnsAtOnce) {
  port_->ArriveAt(Now(), "abc");
  EXPECT_EQ(serial_.RecvTerminated(500, ""), "");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(port_->InputQueued(), 3u);
}

TEST_F(SerialReceive, TimeoutKeepsEverythingGathered) {
  port_->ArriveAt(Now(), "1234");
  EXPECT_EQ(serial_.RecvTerminated(300, "\r"), "");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(serial_.LineBuffer(), "1234");

  // Also when the time-out is raised.
  serial_.SetRaiseExcept(true);
  port_->ArriveAt(Now(), "5");
  EXPECT_THROW(serial_.RecvTerminated(300, "\r"), ETrvSerialError);
  EXPECT_EQ(serial_.LineBuffer(), "12345");
  port_->ArriveAt(Now(), "\r");
  EXPECT_EQ(serial_.RecvTerminated(300, "\r"), "12345");
}

TEST_F(SerialReceive, OneBudgetForTheWholeLine) {
  serial_.SetInterPacketTimeout(false);
  for (int i = 1; i <= 5; ++i) port_->ArriveAt(Now() + 100 * i, "x");
  EXPECT_EQ(serial_.RecvTerminated(250, "\r"), "");
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_EQ(Now(), 1250u);
  EXPECT_EQ(serial_.LineBuffer(), "xx");
}

TEST_F(SerialReceive, OverlongLinesStopTheReception) {
  serial_.SetMaxLineLength(10);
  port_->ArriveAt(Now(), "0123456789A");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "");
  EXPECT_EQ(serial_.LastError(), 9996);
  EXPECT_EQ(serial_.LineBuffer(), "0123456789A");

  // The limit covers the bytes after the terminator too; the line is still cut out.
  serial_.Purge();
  port_->ArriveAt(Now(), "12\r456789ABC");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "12");
  EXPECT_EQ(serial_.LastError(), 9996);
  EXPECT_EQ(serial_.LineBuffer(), "456789ABC");

  // A negative limit is passed by every line, not taken for "no limit".
  serial_.Purge();
  serial_.SetMaxLineLength(-1);
  port_->ArriveAt(Now(), "abc\r");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "abc");
  EXPECT_EQ(serial_.LastError(), 9996);
}

TEST_F(SerialReceive, TheLineSearchLimitBoundsOnlyTheLineItself) {
  serial_.SetLineSearchLimit(4);
  // Bytes after a terminator found within the limit do not count: the line is read, the rest
  // waits for the next call.
  port_->ArriveAt(Now(), "12\r456789ABC");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "12");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.LineBuffer(), "456789ABC");
  // Without a terminator within the limit the reception stops; the bytes stay.
  EXPECT_EQ(serial_.RecvTerminated(500, "\r"), "");
  EXPECT_EQ(serial_.LastError(), 9996);
  EXPECT_EQ(serial_.LineBuffer(), "456789ABC");
}

TEST_F(SerialReceive, LineEndModeTakesAnyLineEndOnce) {
  serial_.SetConvertLineEnd(true);
  port_->ArriveAt(Now(), "X\r");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r\n"), "X");
  port_->ArriveAt(Now(), "\nY\r\n");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r\n"), "Y");  // the leading LF closed the line above
  port_->ArriveAt(Now(), "Z\n");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r\n"), "Z");
  port_->ArriveAt(Now(), "\rW\n\r");
  EXPECT_EQ(serial_.RecvTerminated(500, "\r\n"), "W");
  EXPECT_EQ(serial_.LineBuffer(), "");
  EXPECT_EQ(serial_.Recvstring(100), "");  // nothing left
  EXPECT_EQ(serial_.LastError(), 9997);
}

TEST_F(SerialReceive, WithoutLineEndModeOnlyTheExactTerminatorEndsALine) {
  port_->ArriveAt(Now(), "A\nB\r\n");
  EXPECT_EQ(serial_.Recvstring(500), "A\nB");
  port_->ArriveAt(Now(), "C\r");
  EXPECT_EQ(serial_.Recvstring(200), "");
  EXPECT_EQ(serial_.LineBuffer(), "C\r");
}

}  // namespace
}  // namespace trv::testing
