// The communication device: validating setters, opening and closing, sending, port kinds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceFixture.h"
#include "device/TrvDevice.h"
#include "platform/OutputFile.h"
#include "testing/CommPortFake.h"
#include "testing/ExceptionMessage.h"
#include "testing/ManualClock.h"

namespace trv {
namespace {

using Calls = std::vector<std::string>;

using DeviceTest = DeviceFixture;

const char kBaudMessage[] =
    "Valor deve estar na faixa de 50 a 4000000.\nNormalmente os equipamentos Seriais utilizam: "
    "9600";
const char kDataMessage[] =
    "Valor deve estar na faixa de 5 a 8.\nNormalmente os equipamentos Seriais utilizam: 7 ou 8";

TEST_F(DeviceTest, StartsWithTheDefaults) {
  EXPECT_EQ(device_.Porta(), "");
  EXPECT_EQ(device_.TimeOut(), 3);
  EXPECT_EQ(device_.Baud(), 9600);
  EXPECT_EQ(device_.Data(), 8);
  EXPECT_EQ(device_.Parity(), pNone);
  EXPECT_EQ(device_.Stop(), s1);
  EXPECT_EQ(device_.HandShake(), hsNenhum);
  EXPECT_TRUE(device_.ProcessMessages());
  EXPECT_FALSE(device_.Ativo());
  EXPECT_TRUE(device_.Serial->RaiseExcept());
  EXPECT_EQ(device_.Serial->DeadlockTimeout(), 30000);
}

TEST_F(DeviceTest, RangeCheckedSettersKeepTheOldValue) {
  struct Case {
    void (TTrvDevice::*set)(int);
    int (TTrvDevice::*get)() const;
    int value;
    bool accepted;
    const char* message;
  };
  const Case cases[] = {
      {&TTrvDevice::SetBaud, &TTrvDevice::Baud, 49, false, kBaudMessage},
      {&TTrvDevice::SetBaud, &TTrvDevice::Baud, 4000001, false, kBaudMessage},
      {&TTrvDevice::SetBaud, &TTrvDevice::Baud, 50, true, ""},
      {&TTrvDevice::SetBaud, &TTrvDevice::Baud, 4000000, true, ""},
      {&TTrvDevice::SetData, &TTrvDevice::Data, 4, false, kDataMessage},
      {&TTrvDevice::SetData, &TTrvDevice::Data, 9, false, kDataMessage},
      {&TTrvDevice::SetData, &TTrvDevice::Data, 5, true, ""},
      {&TTrvDevice::SetData, &TTrvDevice::Data, 8, true, ""},
  };
  for (const Case& c : cases) {
    const int before = (device_.*c.get)();
    EXPECT_EQ(MessageOf([&] { (device_.*c.set)(c.value); }), c.message) << c.value;
    EXPECT_EQ((device_.*c.get)(), c.accepted ? c.value : before);
  }
}

TEST_F(DeviceTest, EnumerationSettersMapOrdinalsAndLetters) {
  const std::pair<uint8_t, char> parities[] = {{1, 'O'}, {2, 'E'}, {3, 'M'},  {4, 'S'},
                                               {0, 'N'}, {7, 'N'}, {255, 'N'}};
  for (const auto& [ordinal, letter] : parities) {
    device_.SetParity(ordinal);
    EXPECT_EQ(device_.ParityLetter(), letter) << int(ordinal);
  }
  EXPECT_EQ(device_.Parity(), pNone);
  const std::pair<uint8_t, int> stops[] = {{1, 1}, {2, 2}, {0, 0}, {9, 0}};
  for (const auto& [ordinal, code] : stops) {
    device_.SetStop(ordinal);
    EXPECT_EQ(device_.StopCode(), code) << int(ordinal);
  }
}

TEST_F(DeviceTest, HandshakeKeepsTheFlowFlagsInStep) {
  device_.SetHandShake(hsRTS_CTS);
  EXPECT_TRUE(device_.HardFlow());
  EXPECT_FALSE(device_.SoftFlow());
  device_.SetSoftFlow(true);
  EXPECT_EQ(device_.HandShake(), hsXON_XOFF);
  EXPECT_FALSE(device_.HardFlow());
  EXPECT_TRUE(device_.SoftFlow());
  device_.SetHardFlow(false);  // not the RTS/CTS handshake: nothing changes
  EXPECT_EQ(device_.HandShake(), hsXON_XOFF);
  device_.SetSoftFlow(false);
  EXPECT_EQ(device_.HandShake(), hsNenhum);
  device_.SetHandShake(9);  // kept as given, with neither flow flag
  EXPECT_EQ(device_.HandShake(), 9);
  EXPECT_FALSE(device_.HardFlow() || device_.SoftFlow());
}

TEST_F(DeviceTest, PortNamesAreUpperCasedForSerialAndPrinterPorts) {
  const std::pair<std::string, std::string> cases[] = {
      {"com1", "COM1"},
      {"lpt2", "LPT2"},
      {"\\\\.\\com5", "\\\\.\\com5"},
      {"saida.txt", "saida.txt"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
  };
  for (const auto& [given, stored] : cases) {
    device_.SetPorta(given);
    EXPECT_EQ(device_.Porta(), stored);
  }
}

TEST_F(DeviceTest, PortKinds) {
  struct Case {
    std::string name;
    TTrvDevice::PortKind kind;
    bool txt;
  };
  const Case cases[] = {
      {"COM1", TTrvDevice::PortKind::Serial, false},
      {"\\\\.\\COM12", TTrvDevice::PortKind::Serial, false},
      {"usb", TTrvDevice::PortKind::DllUsb, false},
      {"Dll:balanca", TTrvDevice::PortKind::DllUsb, false},
      {"US", TTrvDevice::PortKind::DllUsb, false},  // "US" occurs in "USB|DLL"
      {"LPT1", TTrvDevice::PortKind::File, false},
      {"c:\\saida.TxT", TTrvDevice::PortKind::File, true},
#ifndef _WIN32
      {"/dev/ttyUSB0", TTrvDevice::PortKind::Serial, false},
      {"/dev/pts/3", TTrvDevice::PortKind::Serial, false},
      {"/dev/serial/by-id/usb-FTDI-port0", TTrvDevice::PortKind::Serial, false},
#endif
  };
  for (const Case& c : cases) {
    device_.SetPorta(c.name);
    EXPECT_EQ(device_.Kind(), c.kind) << c.name;
    EXPECT_EQ(device_.IsTXTFilePort(), c.txt) << c.name;
  }
}

#ifndef _WIN32
TEST_F(DeviceTest, ALinkToASerialDeviceIsASerialPort) {
  const auto link = std::filesystem::temp_directory_path() / "travinel-device-link-ttyScale";
  std::filesystem::remove(link);
  std::filesystem::create_symlink("/dev/tty", link);
  device_.SetPorta(link.string());
  EXPECT_EQ(device_.Kind(), TTrvDevice::PortKind::Serial);
  std::filesystem::remove(link);
  device_.SetPorta(link.string() + "-missing");
  EXPECT_EQ(device_.Kind(), TTrvDevice::PortKind::File);
}

TEST_F(DeviceTest, ANameOfBothKindsIsOpenedAsSerialButAlwaysReady) {
  // A link in the working folder whose name also reads as a DLL/USB port: opening takes it for
  // a serial port, the readiness test for a DLL/USB port, which is ready even while closed.
  const std::string link = "USBLINK-travinel-device-test";
  std::filesystem::remove(link);
  std::filesystem::create_symlink("/dev/tty", link);
  device_.SetPorta(link);
  EXPECT_EQ(device_.Kind(), TTrvDevice::PortKind::Serial);
  EXPECT_TRUE(device_.EmLinha(1));
  std::filesystem::remove(link);
}
#endif

TEST_F(DeviceTest, TimeOutIsAtLeastOneSecondAndSetsTheDeadlock) {
  device_.SetPorta("COM1");
  device_.SetTimeOut(0);
  EXPECT_EQ(device_.TimeOut(), 1);
  EXPECT_EQ(device_.Serial->DeadlockTimeout(), 1000);
  device_.SetTimeOut(-5);
  EXPECT_EQ(device_.Serial->DeadlockTimeout(), 1000);
  device_.SetTimeOut(INT32_MAX);  // no overflow: the longest time-out
  EXPECT_EQ(device_.Serial->DeadlockTimeout(), INT32_MAX);
}

TEST_F(DeviceTest, ActivationOpensConfiguresAndPurges) {
  device_.Serial->SetDeadlockTimeout(1000);
  device_.SetPorta("COM3");
  device_.SetHandShake(hsRTS_CTS);
  device_.SetBaud(4800);
  device_.Ativar();
  EXPECT_TRUE(device_.Ativo());
  EXPECT_TRUE(device_.Serial->InstanceActive());
  EXPECT_EQ(device_.Serial->DeadlockTimeout(), 3000);
  EXPECT_EQ(port_->OpenedPath(), NumberedPortPath(2));
  EXPECT_EQ(port_->State().BaudRate, 4800u);
  EXPECT_EQ(port_->State().Flags, 0x2015u);
  EXPECT_EQ(port_->Calls().back(), "Purge 15");

  // While open, line parameters reach the port at once; the port name is refused.
  device_.SetBaud(19200);
  EXPECT_EQ(port_->State().BaudRate, 19200u);
  EXPECT_EQ(MessageOf([&] { device_.SetPorta("COM3"); }), "");
  EXPECT_EQ(MessageOf([&] { device_.SetPorta("com3"); }),
            "Não é possível mudar a Porta com o Dispositivo Ativo");
  EXPECT_EQ(device_.Porta(), "COM3");

  device_.Desativar();
  EXPECT_FALSE(device_.Ativo());
  EXPECT_FALSE(port_->IsOpen());
}

TEST_F(DeviceTest, FailedActivationClosesQuietlyAndRaisesTheCause) {
  device_.SetPorta("COM9");
  port_->SetOpenError(NumberedPortPath(8), 2);
  try {
    device_.Ativar();
    FAIL() << "no exception";
  } catch (const ETrvSerialError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
  }
  EXPECT_FALSE(device_.Ativo());
  EXPECT_FALSE(device_.Serial->InstanceActive());
  EXPECT_TRUE(device_.Serial->RaiseExcept());

  port_->SetOpenError(NumberedPortPath(8), 0);
  port_->Fail(CommPortFake::Call::SetState, 87);  // the port rejects the settings
  EXPECT_THROW(device_.Ativar(), ETrvSerialError);
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_FALSE(device_.Ativo());
  EXPECT_TRUE(device_.Serial->RaiseExcept());
}

TEST_F(DeviceTest, ActivationNeedsAPortName) {
  EXPECT_EQ(MessageOf([&] { device_.Ativar(); }), "Porta não definida");
  EXPECT_FALSE(device_.Ativo());
}

TEST_F(DeviceTest, ClosingNeverRaises) {
  device_.SetPorta("COM1");
  device_.Ativar();
  port_->Fail(CommPortFake::Call::Purge, 5);
  EXPECT_NO_THROW(device_.Desativar());
  EXPECT_FALSE(device_.Ativo());
  EXPECT_TRUE(device_.Serial->RaiseExcept());
}

TEST_F(DeviceTest, SendsInBlocksWithPauses) {
  device_.SetPorta("COM1");
  device_.Ativar();
  device_.SetSendBytesCount(3);
  device_.SetSendBytesInterval(50);
  std::vector<std::pair<Bytes, uint64_t>> writes;
  port_->SetResponder(
      [&](const Bytes& block) { writes.emplace_back(block, clock_.Milliseconds()); });
  device_.EnviaString("ABCDEFG");
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], std::make_pair(Bytes("ABC"), uint64_t{5000}));
  EXPECT_EQ(writes[1], std::make_pair(Bytes("DEF"), uint64_t{5050}));
  EXPECT_EQ(writes[2], std::make_pair(Bytes("G"), uint64_t{5100}));
  EXPECT_EQ(clock_.Milliseconds(), 5150u);  // the last block is followed by a pause too

  writes.clear();
  device_.EnviaString("");
  EXPECT_TRUE(writes.empty());
  EXPECT_EQ(clock_.Milliseconds(), 5150u);

  device_.SetSendBytesCount(0);
  device_.EnviaString("ABCDEFG");
  EXPECT_EQ(writes.size(), 1u);
  EXPECT_EQ(clock_.Milliseconds(), 5200u);
}

TEST_F(DeviceTest, SendingOnAClosedSerialPortRaises) {
  device_.SetPorta("COM1");
  EXPECT_THROW(device_.EnviaString("x"), ETrvSerialError);
}

TEST_F(DeviceTest, DefaultValuesLeaveThePortAlone) {
  device_.SetPorta("COM1");
  device_.SetTimeOut(7);
  device_.SetBaud(2400);
  device_.SetHandShake(hsDTR_DSR);
  device_.PosImp = {3, 4};
  device_.SetDefaultValues();
  EXPECT_EQ(device_.Baud(), 9600);
  EXPECT_EQ(device_.HandShake(), hsNenhum);
  EXPECT_EQ(device_.PosImp.X, 0);
  EXPECT_EQ(device_.Porta(), "COM1");
  EXPECT_EQ(device_.TimeOut(), 7);
}

TEST_F(DeviceTest, LineReadiness) {
  device_.SetPorta("COM1");
  EXPECT_FALSE(device_.EmLinha(5));  // closed: at once
  EXPECT_EQ(clock_.Milliseconds(), 5000u);
  device_.Ativar();
  EXPECT_TRUE(device_.EmLinha(5));  // no handshake line to wait for
  device_.SetHandShake(hsDTR_DSR);
  port_->SetModemWord(0);
  EXPECT_FALSE(device_.EmLinha(2));
  EXPECT_EQ(clock_.Milliseconds(), 7000u);
  port_->SetModemWord(comm::kMsDsrOn);
  EXPECT_TRUE(device_.EmLinha(2));
  port_->Fail(CommPortFake::Call::ModemStatus, 50);  // a line that cannot be read
  EXPECT_FALSE(device_.EmLinha(1));
  device_.Desativar();
  device_.SetPorta("USB");
  EXPECT_TRUE(device_.EmLinha(1));
}

class FileDeviceTest : public DeviceTest {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("travinel-device-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
};

TEST_F(FileDeviceTest, TextFileCollectsEverythingSinceActivation) {
  const std::string path = (folder_ / "saida.txt").string();
  std::ofstream(path) << "old";
  device_.SetPorta(path);
  device_.Ativar();
  EXPECT_EQ(Content(path), "");
  device_.EnviaString("um ");
  device_.EnviaString(Bytes("dois\0", 5));
  EXPECT_EQ(Content(path), Bytes("um dois\0", 8));
}

TEST_F(FileDeviceTest, OtherFilesHoldTheLastString) {
  const std::string path = (folder_ / "saida.prn").string();
  device_.SetPorta(path);
  device_.Ativar();
  device_.EnviaString("primeiro");
  device_.EnviaString("segundo");
  EXPECT_EQ(Content(path), "segundo");
}

TEST_F(FileDeviceTest, UnwritableTargetFailsActivation) {
  device_.SetPorta((folder_ / "no-such-folder" / "saida.prn").string());
  EXPECT_THROW(device_.Ativar(), platform::EInOutError);
  EXPECT_FALSE(device_.Ativo());
}

TEST_F(DeviceTest, DllPortsDoNothing) {
  device_.SetPorta("USB");
  device_.Ativar();
  EXPECT_TRUE(device_.Ativo());
  device_.EnviaString("x");
  device_.Desativar();
  EXPECT_TRUE(port_->Calls().empty());
}

}  // namespace
}  // namespace trv
