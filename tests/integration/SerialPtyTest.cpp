// The serial class on the system's real port, against the scripted far end of
// tests/support/SerialPeer: natively a pseudo-terminal found through a link path, under Wine the
// same pseudo-terminal seen as a COM port. The port's name comes from TRAVINEL_TEST_PORT.
// Only the serial class, the standard library and GoogleTest are used here, so the same source
// builds for Windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "PtyTestSupport.h"
#include "serial/ETrvSerialError.h"
#include "serial/TrvSerial.h"
#include "testing/Wine.h"

namespace trv {
namespace {

using ptytest::Hex;
using ptytest::MillisecondsSince;
using ptytest::Steady;

// A port name that does not exist, in the style of the test port's name.
std::string MissingPort(const std::string& port) {
  const bool comStyle = port.size() > 3 && (port[0] == 'C' || port[0] == 'c');
  return comStyle ? "COM199" : port + ".missing";
}

class SerialLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = ptytest::TestPort();
    if (port_.empty()) GTEST_SKIP() << ptytest::kNoPeer;
    ASSERT_NO_FATAL_FAILURE(Open(serial_));
  }

  void TearDown() override {
    serial_.SetRaiseExcept(false);
    serial_.CloseSocket();
  }

  void Open(TTrvSerial& serial) { ptytest::OpenTestLine(serial, port_); }

  // Sends one line of the peer's command language.
  void Command(TTrvSerial& serial, const std::string& line) {
    serial.SendString(line + "\n");
    ASSERT_EQ(serial.LastError(), 0) << line << ": " << serial.LastErrorDesc();
  }
  void Command(const std::string& line) { Command(serial_, line); }

  // Collects packets until count bytes arrived; each packet must come within timeout.
  Bytes Collect(TTrvSerial& serial, size_t count, int timeout = 2000) {
    Bytes received;
    while (received.size() < count) {
      const Bytes packet = serial.RecvPacket(timeout);
      EXPECT_EQ(serial.LastError(), 0) << "after " << received.size() << " bytes";
      if (serial.LastError() != 0) break;
      received += packet;
    }
    return received;
  }
  Bytes Collect(size_t count, int timeout = 2000) { return Collect(serial_, count, timeout); }

  // Waits until the driver counts count bytes waiting (or 2 s passed); answers the last count.
  int AwaitWaiting(int count) {
    const auto start = Steady::now();
    int waiting = serial_.WaitingData();
    while (waiting < count && MillisecondsSince(start) < 2000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      waiting = serial_.WaitingData();
    }
    return waiting;
  }

  std::string port_;
  TTrvSerial serial_;
};

// ---- The far end answers -------------------------------------------------------------------

using SerialAnswerTest = SerialLineTest;

TEST_F(SerialAnswerTest, RecvPacketDeliversTheAnswer) {
  const Bytes answer("S S     12.345kg\r\n");
  Command("SEND " + Hex(answer));
  EXPECT_EQ(Collect(answer.size()), answer);
}

TEST_F(SerialAnswerTest, BinaryAnswerArrivesUnchanged) {
  // Raw line: no CR/LF translation, no XON/XOFF eaten, NUL and 0xFF pass.
  const Bytes answer{"\x00\r\n\x11\x13\x7f\xff\n\r", 9};
  Command("SEND " + Hex(answer));
  EXPECT_EQ(Collect(answer.size()), answer);
}

TEST_F(SerialAnswerTest, RecvTerminatedJoinsASplitAnswerAndKeepsTheRest) {
  Command("SPLIT 150 " + Hex("0012") + " " + Hex(".5\r+"));
  EXPECT_EQ(serial_.RecvTerminated(1000, "\r"), "0012.5");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvPacket(1000), "+");
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialAnswerTest, LongAnswerArrivesComplete) {
  constexpr int kLength = 20000;
  Command("STREAM " + std::to_string(kLength));
  Bytes received(kLength, '\0');
  EXPECT_EQ(serial_.RecvBufferEx(received.data(), kLength, 2000), kLength);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(received, ptytest::StreamPattern(kLength));
}

TEST_F(SerialAnswerTest, BytesCountedAsWaitingAreReadOnceOrPurged) {
  Command("SEND " + Hex("abc"));
  EXPECT_EQ(AwaitWaiting(3), 3);
  EXPECT_EQ(serial_.WaitingData(), 3);  // counted again, not twice
  char raw[3];
  EXPECT_EQ(serial_.RecvBuffer(raw, 3), 3);
  EXPECT_EQ(Bytes(raw, 3), "abc");
  Command("SEND " + Hex("de"));
  EXPECT_EQ(AwaitWaiting(2), 2);
  serial_.Purge();
  EXPECT_EQ(serial_.WaitingData(), 0);
  Command("SEND " + Hex("f"));
  EXPECT_EQ(Collect(1), "f");
}

// ---- Reception of a trickling answer -------------------------------------------------------

using SerialTrickleTest = SerialLineTest;

TEST_F(SerialTrickleTest, InterPacketTimeoutWaitsForEachByteAnew) {
  const Bytes answer("ABCDEF");
  serial_.SetInterPacketTimeout(true);
  Command("TRICKLE 60 " + Hex(answer));
  Bytes received(answer.size(), '\0');
  // 300 ms of gaps in all, each well within the 200 ms allowed between packets.
  EXPECT_EQ(serial_.RecvBufferEx(received.data(), 6, 200), 6);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(received, answer);
}

TEST_F(SerialTrickleTest, OverallTimeoutEndsEarlyAndLosesNothing) {
  const Bytes answer("ABCDEF");
  serial_.SetInterPacketTimeout(false);
  Command("TRICKLE 100 " + Hex(answer));
  Bytes first(answer.size(), '\0');
  // 500 ms of gaps do not fit a budget of 250 ms for the whole call.
  const int count = serial_.RecvBufferEx(first.data(), 6, 250);
  EXPECT_EQ(serial_.LastError(), serial_error::kTimeout);
  ASSERT_GE(count, 1);
  ASSERT_LT(count, 6);
  first.resize(static_cast<size_t>(count));

  serial_.SetInterPacketTimeout(true);
  Bytes rest(answer.size() - first.size(), '\0');
  const int restCount = serial_.RecvBufferEx(rest.data(), static_cast<int>(rest.size()), 1000);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(first + rest.substr(0, static_cast<size_t>(std::max(restCount, 0))), answer);
}

// ---- Late and missing answers --------------------------------------------------------------

using SerialTimeoutTest = SerialLineTest;

TEST_F(SerialTimeoutTest, LateAnswerWithinTheTimeoutArrives) {
  const auto start = Steady::now();
  Command("LATE 200 " + Hex("LATE"));
  EXPECT_EQ(Collect(4, 2000), "LATE");
  EXPECT_GE(MillisecondsSince(start), 150);
}

TEST_F(SerialTimeoutTest, LateAnswerBeyondTheTimeoutIsReadByTheNextCall) {
  Command("LATE 400 " + Hex("ABC"));
  EXPECT_EQ(serial_.RecvPacket(100), "");
  EXPECT_EQ(serial_.LastError(), serial_error::kTimeout);
  EXPECT_EQ(Collect(3), "ABC");
}

TEST_F(SerialTimeoutTest, SilentLineTimesOutAfterTheTimeout) {
  Command("SILENT");
  const auto start = Steady::now();
  EXPECT_EQ(serial_.RecvPacket(300), "");
  const long long elapsed = MillisecondsSince(start);
  EXPECT_EQ(serial_.LastError(), serial_error::kTimeout);
  EXPECT_EQ(serial_.LastErrorDesc(), "Timeout during operation");
  EXPECT_GE(elapsed, 280);
  EXPECT_LT(elapsed, 1500);
}

TEST_F(SerialTimeoutTest, SilentLineRaisesWhenAsked) {
  Command("SILENT");
  serial_.SetRaiseExcept(true);
  try {
    serial_.RecvPacket(300);
    FAIL() << "a time-out with RaiseExcept on must raise";
  } catch (const ETrvSerialError& error) {
    EXPECT_EQ(error.ErrorCode, serial_error::kTimeout);
    EXPECT_STREQ(error.what(), "Communication error 9997: Timeout during operation");
  }
}

// ---- The far end hangs up ------------------------------------------------------------------

using SerialHangUpTest = SerialLineTest;

TEST_F(SerialHangUpTest, ReceptionEndsWithAnErrorAndTheLinkPathOpensAgain) {
  Command("HANGUP 200");
  const auto start = Steady::now();
  const Bytes received = serial_.RecvPacket(3000);
  EXPECT_NE(serial_.LastError(), 0) << "received " << received.size() << " bytes";
  EXPECT_LT(MillisecondsSince(start), 5000);

  serial_.CloseSocket();
  EXPECT_FALSE(serial_.InstanceActive());
  ASSERT_NO_FATAL_FAILURE(Open(serial_));
  Command("SEND " + Hex("again\r"));
  EXPECT_EQ(Collect(6), "again\r");
}

TEST_F(SerialHangUpTest, LineEventWaitReportsTheHungUpLine) {
  Command("HANGUP 0");
  ptytest::Pause(300);
  const auto start = Steady::now();
  EXPECT_FALSE(serial_.WaitForLineEvent(1, 300));  // EV_RXCHAR
  EXPECT_LT(MillisecondsSince(start), 2000);
  const int code = serial_.LastError();
  EXPECT_NE(code, 0) << "a dead line must not look like a quiet one";
  if (!platform::RunningUnderWine()) {
    EXPECT_EQ(code, 5) << serial_.LastErrorDesc();  // EIO
  }

  serial_.SetRaiseExcept(true);
  try {
    serial_.WaitForLineEvent(1, 300);
    FAIL() << "a hung-up line with RaiseExcept on must raise";
  } catch (const ETrvSerialError& error) {
    EXPECT_EQ(error.ErrorCode, code);
  }
}

TEST_F(SerialHangUpTest, BytesReadAheadBeforeTheHangUpAreHandedOut) {
  // Only the Linux port reads ahead of the caller; elsewhere the driver drops what a hung-up
  // line held.
  if (platform::RunningUnderWine()) GTEST_SKIP() << "no read-ahead on the Win32 port";
  Command("STREAM 6000");
  Command("HANGUP 200");
  const int counted = AwaitWaiting(4095);  // as the scale's monitoring tick asks
  ASSERT_GE(counted, 4095);
  ptytest::Pause(500);
  serial_.SetRaiseExcept(true);
  serial_.SetDeadlockTimeout(300);
  Bytes buffer(8000, '\0');
  EXPECT_THROW(serial_.RecvBufferEx(buffer.data(), 8000, 500), ETrvSerialError);
  // What was read ahead before the line dropped waits in the line buffer.
  serial_.SetRaiseExcept(false);
  const Bytes kept = serial_.RecvPacket(0);
  EXPECT_GE(kept.size(), static_cast<size_t>(counted));
  EXPECT_EQ(kept, ptytest::StreamPattern(kept.size()));
}

TEST_F(SerialHangUpTest, AWaitWithoutLimitEndsWithTheAnswerOrTheHangUp) {
  const auto start = Steady::now();
  Command("LATE 400 " + Hex("LATE"));
  const Bytes first = serial_.RecvPacket(-1);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_GE(MillisecondsSince(start), 350);
  EXPECT_EQ(first + Collect(4 - std::min<size_t>(first.size(), 4)), "LATE");

  Command("HANGUP 300");
  const auto hangUp = Steady::now();
  EXPECT_EQ(serial_.RecvPacket(-1), "");
  EXPECT_NE(serial_.LastError(), 0);
  EXPECT_LT(MillisecondsSince(hangUp), 5000);
}

// ---- Ownership of the port -----------------------------------------------------------------

using SerialOwnershipTest = SerialLineTest;

TEST_F(SerialOwnershipTest, SecondConnectionIsRefusedAndTheFirstGoesOn) {
  if (platform::RunningUnderWine()) GTEST_SKIP() << "Wine lets a COM port be opened twice";
  TTrvSerial second;
  second.Connect(port_);
  // EBUSY natively, ERROR_ACCESS_DENIED on Windows: refused, and not mistaken for "missing".
  EXPECT_NE(second.LastError(), 0);
  EXPECT_NE(second.LastError(), 2);
  EXPECT_FALSE(second.InstanceActive());

  Command("SEND " + Hex("still mine\n"));
  EXPECT_EQ(Collect(11), "still mine\n");
}

TEST_F(SerialOwnershipTest, PortIsFreeAgainAfterClosing) {
  serial_.CloseSocket();
  TTrvSerial next;
  ASSERT_NO_FATAL_FAILURE(Open(next));
  Command(next, "SEND " + Hex("next\n"));
  EXPECT_EQ(Collect(next, 5), "next\n");
  next.CloseSocket();
}

TEST(SerialMissingPortTest, MissingPortLeavesCodeTwo) {
  const std::string port = ptytest::TestPort();
  if (port.empty()) GTEST_SKIP() << "TRAVINEL_TEST_PORT is not set";
  TTrvSerial serial;
  serial.Connect(MissingPort(port));
  EXPECT_EQ(serial.LastError(), 2) << serial.LastErrorDesc();
  EXPECT_FALSE(serial.InstanceActive());
}

// ---- Transmission --------------------------------------------------------------------------

using SerialSendTest = SerialLineTest;

TEST_F(SerialSendTest, BlockArrivesIntactAtTheFarEnd) {
  // Every byte value, line ends included: the peer counts raw bytes while sinking.
  const Bytes block = ptytest::StreamPattern(4096);
  Command("SINK " + std::to_string(block.size()));
  serial_.SendString(block);
  EXPECT_EQ(serial_.LastError(), 0) << serial_.LastErrorDesc();
  EXPECT_EQ(Collect(3, 3000), "OK\n");
}

}  // namespace
}  // namespace trv
