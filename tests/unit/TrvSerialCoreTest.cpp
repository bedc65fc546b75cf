// Opening, closing, line configuration, modem lines and the error model of the serial port.
#include <gtest/gtest.h>

#include "SerialFixture.h"
#include "platform/SystemError.h"

namespace trv::testing {
namespace {

using Calls = std::vector<std::string>;

TEST(SerialDefaults, StartClosedWithCodeZero) {
  TTrvSerial serial;
  EXPECT_EQ(serial.LastError(), 0);
  EXPECT_EQ(serial.LastErrorDesc(), "OK");
  EXPECT_FALSE(serial.RaiseExcept());
  EXPECT_FALSE(serial.InstanceActive());
  EXPECT_EQ(serial.Handle(), -1);
  EXPECT_EQ(serial.DeadlockTimeout(), 30000);
  EXPECT_EQ(serial.SizeRecvBuffer(), 4096);
  EXPECT_EQ(serial.AtTimeout(), 1000);
  EXPECT_TRUE(serial.InterPacketTimeout());
  EXPECT_TRUE(serial.LinuxLock());
  EXPECT_FALSE(serial.ConvertLineEnd());
  EXPECT_EQ(serial.MaxLineLength(), 0);
  EXPECT_EQ(serial.ComNr(), -1);
}

TEST(SerialPortNames, NumberedNamesOpenThePlatformPath) {
  struct Case {
    std::string name;
    int comNr;
    std::string path;
  };
  const Case cases[] = {
      {"COM1", 0, NumberedPortPath(0)},
      {"com1", 0, NumberedPortPath(0)},
      {"COM3", 2, NumberedPortPath(2)},
      {"COM10", 9, NumberedPortPath(9)},
      {"COM", -1, "COM"},
      {"COMX", -1, "COMX"},
      {"COM0", -1, "COM0"},
      {"/dev/ttyS0", 0, NumberedPortPath(0)},
      {"/dev/ttyS1", 1, NumberedPortPath(1)},
      {"/dev/ttyS", -2, NumberedPortPath(-2)},
      {"\\\\.\\COM5", -1, "\\\\.\\COM5"},
      {"LPT1", -1, "LPT1"},
      {"/dev/ttyUSB0", -1, "/dev/ttyUSB0"},
      {"COM99999999999", -1, "COM99999999999"},
  };
  for (const Case& c : cases) {
    platform::ManualClock clock;
    auto fake = std::make_unique<CommPortFake>(clock);
    CommPortFake& port = *fake;
    TTrvSerial serial(std::move(fake));
    serial.Connect(c.name);
    EXPECT_EQ(serial.ComNr(), c.comNr) << c.name;
    EXPECT_EQ(port.OpenedPath(), c.path) << c.name;
    EXPECT_EQ(serial.Device(), c.path) << c.name;
  }
  EXPECT_EQ(NumberedPortPath(2), NumberedPortPath(2));  // stable per platform
}

class SerialConnect : public SerialFixture {};

TEST_F(SerialConnect, OpensPreparesRaisesLinesAndPurges) {
  serial_.Connect("COM2");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_TRUE(serial_.InstanceActive());
  EXPECT_EQ(port_->Calls(), (Calls{"Open " + NumberedPortPath(1), "Prepare 4096", "Escape 3",
                                   "Escape 5", "Purge 15"}));
  EXPECT_TRUE(port_->Rts());
  EXPECT_TRUE(port_->Dtr());
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0], std::make_pair(HR_Connect, NumberedPortPath(1)));
}

TEST_F(SerialConnect, MissingPortLeavesCodeTwoAndNoReport) {
  port_->SetOpenError("/nowhere", 2);
  serial_.Connect("/nowhere");
  EXPECT_EQ(serial_.LastError(), 2);
  EXPECT_EQ(serial_.LastErrorDesc(), platform::SystemErrorText(2));
  EXPECT_FALSE(serial_.InstanceActive());
  EXPECT_EQ(serial_.Handle(), -1);
  EXPECT_TRUE(reports_.empty());

  serial_.SetRaiseExcept(true);
  try {
    serial_.Connect("/nowhere");
    FAIL() << "no exception";
  } catch (const ETrvSerialError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_EQ(e.ErrorMessage, platform::SystemErrorText(2));
    EXPECT_EQ(std::string(e.what()), "Communication error 2: " + platform::SystemErrorText(2));
  }
}

TEST_F(SerialConnect, SecondConnectIsRefusedAndLeavesThePortAlone) {
  ConnectFresh("COM2");
  serial_.Connect("COM4");
  EXPECT_EQ(serial_.LastError(), 9992);
  EXPECT_EQ(serial_.LastErrorDesc(), "Instance already in use");
  EXPECT_TRUE(port_->Calls().empty());
  EXPECT_EQ(serial_.Device(), NumberedPortPath(1));
  EXPECT_TRUE(serial_.InstanceActive());
}

TEST_F(SerialConnect, ModemLineTestClosesThePortAgain) {
  serial_.SetTestDSR(true);
  port_->SetModemWord(0);
  serial_.Connect("COM2");
  EXPECT_EQ(serial_.LastError(), 9995);
  EXPECT_FALSE(serial_.InstanceActive());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(serial_.ComNr(), -1);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].first, HR_Connect);

  port_->SetModemWord(comm::kMsDsrOn);
  serial_.Connect("COM2");
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_TRUE(serial_.InstanceActive());
}

TEST_F(SerialConnect, ConnectEmptiesTheLineBuffer) {
  serial_.SetLineBuffer("stale");
  serial_.Connect("COM2");
  EXPECT_TRUE(serial_.LineBuffer().empty());
}

TEST_F(SerialConnect, CloseOnAClosedPortMakesNoPlatformCall) {
  serial_.CloseSocket();
  EXPECT_TRUE(port_->Calls().empty());
  EXPECT_EQ(serial_.LastError(), 0);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].first, HR_SerialClose);
}

TEST_F(SerialConnect, ClosePurgesDropsLinesAndCloses) {
  ConnectFresh();
  serial_.CloseSocket();
  EXPECT_EQ(port_->Calls(), (Calls{"Purge 15", "Escape 4", "Escape 6", "Close"}));
  EXPECT_FALSE(serial_.InstanceActive());
  EXPECT_EQ(serial_.ComNr(), -1);
  EXPECT_EQ(reports_.back(), std::make_pair(HR_SerialClose, NumberedPortPath(1)));
  serial_.Connect("COM2");  // a closed port opens again
  EXPECT_TRUE(serial_.InstanceActive());
}

TEST_F(SerialConnect, FailedPurgeOnCloseRaisesButTheDestructorDoesNot) {
  ConnectFresh();
  serial_.SetRaiseExcept(true);
  port_->Fail(CommPortFake::Call::Purge, 22);
  EXPECT_THROW(serial_.CloseSocket(), ETrvSerialError);
  EXPECT_TRUE(port_->IsOpen());  // the rest of the close was skipped
  // The fixture's destructor closes again with the purge still failing: it must not raise.
}

class SerialConfig : public SerialFixture {};

TEST_F(SerialConfig, FlagsFollowFlowControlAndParity) {
  struct Case {
    bool softflow, hardflow;
    char parity;
    uint32_t flags;
    uint8_t parityCode;
  };
  const Case cases[] = {
      {false, false, 'N', 0x1011, 0}, {false, false, 'e', 0x1013, 2}, {true, false, 'N', 0x1311, 0},
      {true, false, 'O', 0x1313, 1},  {false, true, 'n', 0x2015, 0},  {false, true, 'M', 0x2017, 3},
      {true, true, 'N', 0x2315, 0},   {true, true, 's', 0x2317, 4},
  };
  ConnectFresh();
  for (const Case& c : cases) {
    serial_.Config(9600, 8, c.parity, 0, c.softflow, c.hardflow);
    const Dcb& dcb = port_->State();
    EXPECT_EQ(serial_.LastError(), 0);
    EXPECT_EQ(dcb.Flags, c.flags) << c.parity << c.softflow << c.hardflow;
    EXPECT_EQ(dcb.Parity, c.parityCode);
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.XonLim, 1024);
    EXPECT_EQ(dcb.XoffLim, 1024);
  }
}

TEST_F(SerialConfig, UnknownParityKeepsTheDriversParityAndOtherFields) {
  ConnectFresh();
  Dcb& driver = port_->State();
  driver.Parity = dcb::kEvenParity;
  driver.ErrorChar = 'x';
  driver.EofChar = 26;
  driver.EvtChar = 'e';
  driver.wReserved1 = 7;
  serial_.Config(19200, 7, 'x', 2, false, false);
  EXPECT_EQ(driver.Parity, dcb::kEvenParity);
  EXPECT_EQ(driver.Flags, 0x1013u);
  EXPECT_EQ(driver.ErrorChar, 'x');
  EXPECT_EQ(driver.EofChar, 26);
  EXPECT_EQ(driver.EvtChar, 'e');
  EXPECT_EQ(driver.wReserved1, 7);
  EXPECT_EQ(driver.StopBits, 2);
  EXPECT_EQ(driver.ByteSize, 7);
}

TEST_F(SerialConfig, RefusedStateCallsLeaveThePlatformCode) {
  ConnectFresh();
  port_->Fail(CommPortFake::Call::SetState, 87);
  serial_.Config(9600, 8, 'N', 0, false, false);
  EXPECT_EQ(serial_.LastError(), 87);

  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.SetSizeRecvBuffer(1000), ETrvSerialError);
  EXPECT_EQ(serial_.SizeRecvBuffer(), 4096);  // unchanged after a refusal
  port_->Heal(CommPortFake::Call::SetState);
  serial_.SetSizeRecvBuffer(1000);
  EXPECT_EQ(serial_.SizeRecvBuffer(), 1000);
  EXPECT_EQ(port_->State().XonLim, 250);
  EXPECT_EQ(port_->PreparedQueueSize(), 1000u);
}

TEST_F(SerialConfig, ConfigOnAClosedPortRecordsThePlatformCode) {
  serial_.Config(9600, 8, 'N', 0, false, false);
  EXPECT_NE(serial_.LastError(), 0);
}

TEST_F(SerialConfig, PurgeEmptiesTheLineBufferEvenWhenRefused) {
  ConnectFresh();
  port_->ArriveAt(Now(), "waiting");
  serial_.SetLineBuffer("held");
  port_->Fail(CommPortFake::Call::Purge, 31);
  serial_.Purge();
  EXPECT_EQ(serial_.LastError(), 31);
  EXPECT_TRUE(serial_.LineBuffer().empty());
  port_->Heal(CommPortFake::Call::Purge);
  serial_.Purge();
  EXPECT_EQ(serial_.LastError(), 0);
  EXPECT_EQ(port_->InputQueued(), 0u);
}

class SerialModem : public SerialFixture {};

TEST_F(SerialModem, LineReadsTestOneBitEach) {
  ConnectFresh();
  port_->SetModemWord(comm::kMsCtsOn | comm::kMsRlsdOn);
  EXPECT_TRUE(serial_.CTS());
  EXPECT_FALSE(serial_.DSR());
  EXPECT_FALSE(serial_.Ring());
  EXPECT_TRUE(serial_.Carrier());
  port_->SetModemWord(comm::kMsDsrOn | comm::kMsRingOn);
  EXPECT_FALSE(serial_.CTS());
  EXPECT_TRUE(serial_.DSR());
  EXPECT_TRUE(serial_.Ring());
  EXPECT_FALSE(serial_.Carrier());
}

TEST_F(SerialModem, RefusedStatusReadLeavesItsCodeOrRaises) {
  ConnectFresh();
  port_->Fail(CommPortFake::Call::ModemStatus, 50);
  EXPECT_EQ(serial_.ModemStatus(), 0u);
  EXPECT_EQ(serial_.LastError(), 50);
  serial_.SetRaiseExcept(true);
  EXPECT_THROW(serial_.CTS(), ETrvSerialError);
}

TEST_F(SerialModem, LineWritesDoNotTouchTheCode) {
  ConnectFresh();
  serial_.SetSerialError(9997);
  serial_.SetRTS(false);
  serial_.SetDTR(false);
  EXPECT_EQ(serial_.LastError(), 9997);
  EXPECT_FALSE(port_->Rts());
  EXPECT_FALSE(port_->Dtr());
}

TEST_F(SerialModem, TransfersNeedTheTestedLines) {
  serial_.SetTestCTS(true);
  port_->SetModemWord(comm::kMsCtsOn);
  ConnectFresh();
  port_->SetModemWord(0);  // CTS drops
  serial_.SendString("x");
  EXPECT_EQ(serial_.LastError(), 9995);
  EXPECT_TRUE(port_->Written().empty());
}

TEST(SerialErrorText, OwnCodesHaveFixedTexts) {
  const std::pair<int, std::string> cases[] = {
      {0, "OK"},
      {9991, "Port owned by other process"},
      {9992, "Instance already in use"},
      {9993, "Wrong parameter at call"},
      {9994, "Instance not yet connected"},
      {9995, "No device answer detected"},
      {9996, "Maximal buffer length exceeded"},
      {9997, "Timeout during operation"},
      {9998, "Reading of data failed"},
      {9999, "Receive framing error"},
      {10000, "Receive Overrun Error"},
      {10001, "Receive Queue overflow"},
      {10002, "Receive Parity Error"},
      {10003, "Tranceive Queue is full"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(TTrvSerial::GetErrorDesc(code), text) << code;
}

TEST(SerialErrorText, PlatformCodesHaveTheSystemTextTrimmed) {
  const std::string text = TTrvSerial::GetErrorDesc(2);
  EXPECT_EQ(text, platform::SystemErrorText(2));
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_GT(static_cast<unsigned char>(text.back()), 32);
  // A code the system has no text for is described by nothing, not by a made-up text.
  EXPECT_EQ(TTrvSerial::GetErrorDesc(123456), "");
}

TEST(SerialErrorText, ExceptionCarriesCodeAndText) {
  TTrvSerial serial;
  serial.SetRaiseExcept(true);
  try {
    serial.RaiseSerialError(9997);
    FAIL() << "no exception";
  } catch (const Exception& e) {  // caught as the general exception
    EXPECT_EQ(std::string(e.what()), "Communication error 9997: Timeout during operation");
    const auto* serialError = dynamic_cast<const ETrvSerialError*>(&e);
    ASSERT_NE(serialError, nullptr);
    EXPECT_EQ(serialError->ErrorCode, 9997);
  }
  EXPECT_EQ(serial.LastError(), 9997);
  serial.SetRaiseExcept(false);
  EXPECT_NO_THROW(serial.RaiseSerialError(9994));
  EXPECT_EQ(serial.LastErrorDesc(), "Instance not yet connected");
}

class SerialLineErrors : public SerialFixture {};

TEST_F(SerialLineErrors, LastMatchWinsAndTheDescriptionStays) {
  struct Case {
    uint32_t flags;
    int code;
  };
  const Case cases[] = {
      {comm::kCeFrame, 9999},
      {comm::kCeOverrun, 10000},
      {comm::kCeRxOver, 10001},
      {comm::kCeRxParity, 10002},
      {comm::kCeTxFull, 10003},
      {comm::kCeFrame | comm::kCeRxParity, 10002},
      {comm::kCeOverrun | comm::kCeRxOver, 10001},
      {comm::kCeFrame | comm::kCeTxFull | comm::kCeOverrun, 10003},
  };
  ConnectFresh();
  for (const Case& c : cases) {
    port_->InjectLineErrors(c.flags);
    EXPECT_EQ(serial_.SendBuffer("ab", 2), 2);  // the bytes still went out
    EXPECT_EQ(serial_.LastError(), c.code) << std::hex << c.flags;
    EXPECT_EQ(serial_.LastErrorDesc(), "OK");
  }
  serial_.SetRaiseExcept(true);
  port_->InjectLineErrors(comm::kCeFrame);
  try {
    serial_.SendString("c");
    FAIL() << "no exception";
  } catch (const ETrvSerialError& e) {
    EXPECT_EQ(std::string(e.what()), "Communication error 9999: Receive framing error");
  }
}

TEST_F(SerialLineErrors, ReadBytesAreReturnedWithTheMappedCode) {
  ConnectFresh();
  port_->ArriveAt(Now(), "12.5");
  port_->InjectLineErrors(comm::kCeRxParity);
  char buffer[4];
  EXPECT_EQ(serial_.RecvBuffer(buffer, 4), 4);
  EXPECT_EQ(Bytes(buffer, 4), "12.5");
  EXPECT_EQ(serial_.LastError(), 10002);
}

}  // namespace
}  // namespace trv::testing
