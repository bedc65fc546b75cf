// The serial port's extras on the system's real port, against the scripted far end of
// tests/support/SerialPeer (its MODEM and ECHO commands): modem commands, integers, blocks and
// streams that go out and come back, break and RTS toggling, and the port listings. The port's
// name comes from TRAVINEL_TEST_PORT, as for SerialPtyTest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PtyTestSupport.h"
#include "device/TrvDevice.h"
#include "serial/SerialPortList.h"
#include "serial/TrvSerial.h"
#include "testing/MemoryByteStream.h"
#include "testing/Wine.h"

namespace trv {
namespace {

Bytes Pattern(size_t count) {
  Bytes bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 13 + 5) % 256);
  return bytes;
}

class SerialExtrasLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = ptytest::TestPort();
    if (port_.empty()) GTEST_SKIP() << ptytest::kNoPeer;
    ASSERT_NO_FATAL_FAILURE(ptytest::OpenTestLine(serial_, port_));
  }

  void TearDown() override {
    serial_.SetRaiseExcept(false);
    serial_.CloseSocket();
  }

  // Sends one line of the peer's command language.
  void Command(const std::string& line) {
    serial_.SendString(line + "\n");
    ASSERT_EQ(serial_.LastError(), 0) << line << ": " << serial_.LastErrorDesc();
  }

  // The peer sends the next `count` bytes back.
  void Echo(size_t count) { Command("ECHO " + std::to_string(count)); }

  std::string port_;
  TTrvSerial serial_;
};

// ---- Modem commands ------------------------------------------------------------------------

using SerialModemTest = SerialExtrasLineTest;

TEST_F(SerialModemTest, CommandsAndDialling) {
  Command("MODEM");
  struct Step {
    bool dial;
    Bytes command;
    Bytes answer;
    bool ok;
  };
  const Step steps[] = {
      {false, "AT", "\r\nOK\r\n", true},  // the echo left out, then an empty line and OK
      {false, "ATZ", "\r\nOK\r\n", true},       {false, "HELLO", "\r\nERROR\r\n", false},
      {true, "ATDBUSY", "\r\nBUSY\r\n", false}, {true, "ATD5551234", "\r\nCONNECT 9600\r\n", true},
  };
  for (const Step& step : steps) {
    const Bytes answer =
        step.dial ? serial_.ATConnect(step.command) : serial_.ATCommand(step.command);
    EXPECT_EQ(answer, step.answer) << step.command;
    EXPECT_EQ(serial_.ATResult(), step.ok) << step.command;
    EXPECT_EQ(serial_.LastError(), 0) << step.command;
  }
  EXPECT_FALSE(serial_.ConvertLineEnd());
  // Connected: the line carries data (here the command language) again.
  Echo(3);
  serial_.SendString("end");
  EXPECT_EQ(serial_.RecvBufferStr(3, 2000), "end");
}

// ---- Integers, blocks and streams ----------------------------------------------------------

using SerialTransferTest = SerialExtrasLineTest;

TEST_F(SerialTransferTest, IntegersComeBackUnchanged) {
  const int32_t values[] = {0x12345678, -1, INT32_MIN, 0};
  Echo(4 * std::size(values));
  for (const int32_t value : values) serial_.SendInteger(value);
  for (const int32_t value : values) {
    EXPECT_EQ(serial_.RecvInteger(2000), value);
    EXPECT_EQ(serial_.LastError(), 0);
  }
}

TEST_F(SerialTransferTest, BlocksComeBackUnchanged) {
  const Bytes block = Pattern(5000);
  Echo(4 + block.size() + 4);
  serial_.SendBlock(block);
  serial_.SendBlock("");
  EXPECT_EQ(serial_.RecvBlock(2000), block);
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(serial_.RecvBlock(2000), "");
  EXPECT_EQ(serial_.LastError(), 0);
}

TEST_F(SerialTransferTest, StreamsComeBackUnchanged) {
  struct Case {
    void (TTrvSerial::*send)(ByteStream&);
    void (TTrvSerial::*receive)(ByteStream&, int);
  };
  const Case cases[] = {
      {&TTrvSerial::SendStream, &TTrvSerial::RecvStream},
      {&TTrvSerial::SendStreamBigEndian, &TTrvSerial::RecvStreamBigEndian},
  };
  const Bytes data = Pattern(20000);
  for (const Case& c : cases) {
    Echo(4 + data.size());
    MemoryByteStream out(data);
    (serial_.*c.send)(out);
    ASSERT_EQ(serial_.LastError(), 0) << serial_.LastErrorDesc();
    MemoryByteStream in;
    (serial_.*c.receive)(in, 2000);
    EXPECT_EQ(serial_.LastError(), 0) << serial_.LastErrorDesc();
    EXPECT_EQ(in.Data(), data);
  }
}

TEST_F(SerialTransferTest, RawStreamEndsWhenTheLineFallsSilent) {
  const Bytes data = Pattern(3000);
  Echo(data.size());
  MemoryByteStream out(data);
  serial_.SendStreamRaw(out);
  MemoryByteStream in;
  serial_.RecvStreamRaw(in, 300);
  EXPECT_EQ(serial_.LastError(), serial_error::kTimeout);
  EXPECT_EQ(in.Data(), data);
}

// ---- Line signals --------------------------------------------------------------------------

using SerialSignalTest = SerialExtrasLineTest;

TEST_F(SerialSignalTest, BreakLeavesTheLineUsable) {
  serial_.SetRaiseExcept(true);
  serial_.SetBreak(50);
  EXPECT_EQ(serial_.LastError(), 0) << serial_.LastErrorDesc();
  serial_.Purge();  // a break may arrive at the far end as a NUL byte; start clean
  Echo(2);
  serial_.SendString("ok");
  EXPECT_EQ(serial_.RecvBufferStr(2, 2000), "ok");
}

TEST_F(SerialSignalTest, RtsToggleWhereTheDriverHasNoSuchMode) {
  serial_.EnableRTSToggle(true);
  if (!platform::RunningUnderWine()) {
    // A pseudo-terminal has no RS-485 mode: said plainly, and the line is left as it was.
    EXPECT_EQ(serial_.LastError(), EOPNOTSUPP);
    EXPECT_EQ(serial_.LastErrorDesc(), "Operation not supported");
  }
  serial_.EnableRTSToggle(false);
  serial_.Config(9600, 8, 'N', 0, false, false);
  ASSERT_EQ(serial_.LastError(), 0) << serial_.LastErrorDesc();
  Echo(2);
  serial_.SendString("ok");
  EXPECT_EQ(serial_.RecvBufferStr(2, 2000), "ok");
}

// ---- Port listings -------------------------------------------------------------------------

using SerialListingTest = SerialExtrasLineTest;

TEST_F(SerialListingTest, DeviceScanCountsEveryPortThatExists) {
  TTrvDevice device(nullptr);
  std::vector<std::string> list;
  device.AcharPortasSeriais(list, 8);
  if (platform::RunningUnderWine()) {
    // COM7 is the test's line, held open by this test: listed all the same.
    EXPECT_NE(std::find(list.begin(), list.end(), "COM7"), list.end());
    return;
  }
  // Natively COMn is /dev/ttyS<n-1>: listed exactly when the node exists.
  for (int number = 1; number <= 8; ++number) {
    const std::string name = "COM" + std::to_string(number);
    const bool listed = std::find(list.begin(), list.end(), name) != list.end();
    EXPECT_EQ(listed, std::filesystem::exists(NumberedPortPath(number - 1))) << name;
  }
}

TEST_F(SerialListingTest, MachineListingHasTheTestPortUnderWine) {
  if (!platform::RunningUnderWine()) GTEST_SKIP() << "the native pty is not under /dev";
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  const bool found = std::any_of(ports.begin(), ports.end(), [](const SerialPortEntry& port) {
    return port.name == "COM7" && port.device == "\\\\.\\COM7";
  });
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace trv
