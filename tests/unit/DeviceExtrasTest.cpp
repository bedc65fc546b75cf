// The communication device's parameter text, serial port scan and print positioning.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "DeviceFixture.h"
#include "device/TrvDevice.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv {
namespace {

const char kBaudMessage[] =
    "Valor deve estar na faixa de 50 a 4000000.\nNormalmente os equipamentos Seriais utilizam: "
    "9600";

class DeviceExtrasTest : public DeviceFixture {
 protected:
  DeviceExtrasTest() {
    port_->SetResponder([this](const Bytes& block) { writes_.push_back(block); });
  }
  // The device outlives writes_: nothing it sends while closing is recorded.
  ~DeviceExtrasTest() override { port_->SetResponder(nullptr); }

  std::vector<Bytes> writes_;
};

// ---- Parameter text ------------------------------------------------------------------------

TEST_F(DeviceExtrasTest, DefaultsReadAsAnEmptyText) {
  EXPECT_EQ(device_.ParamsString(), "");
  device_.SetMaxBandwidth(500);
  device_.SetBaud(2400);
  device_.SetParamsString("");
  EXPECT_EQ(device_.Baud(), 9600);
  EXPECT_EQ(device_.MaxBandwidth(), 500);  // not a default that writing resets
  EXPECT_EQ(device_.ParamsString(), "MAXBANDWIDTH=500");
}

TEST_F(DeviceExtrasTest, ReadingListsTheChangedSettingsInAFixedOrder) {
  device_.SetHandShake(hsRTS_CTS);
  device_.SetStop(s2);
  device_.SetParity(pEven);
  device_.SetData(7);
  device_.SetBaud(4800);
  EXPECT_EQ(device_.ParamsString(), "BAUD=4800 DATA=7 PARITY=E STOP=2 HANDSHAKE=RTS/CTS HARDFLOW");
  device_.SetHandShake(hsXON_XOFF);
  device_.SetStop(s1eMeio);
  device_.SetMaxBandwidth(960);
  EXPECT_EQ(device_.ParamsString(),
            "BAUD=4800 DATA=7 PARITY=E STOP=1,5 HANDSHAKE=XON/XOFF SOFTFLOW MAXBANDWIDTH=960");
  device_.SetHandShake(hsDTR_DSR);
  EXPECT_EQ(device_.ParamsString(),
            "BAUD=4800 DATA=7 PARITY=E STOP=1,5 HANDSHAKE=DTR/DSR "
            "MAXBANDWIDTH=960");
  device_.SetHandShake(9);  // outside the four modes: the keyword without a value
  EXPECT_EQ(device_.ParamsString(),
            "BAUD=4800 DATA=7 PARITY=E STOP=1,5 HANDSHAKE= "
            "MAXBANDWIDTH=960");
}

TEST_F(DeviceExtrasTest, WritingAppliesTheKeywords) {
  struct Case {
    const char* text;
    int baud;
    int data;
    char parity;
    TTrvSerialStop stop;
    TTrvHandShake handShake;
    const char* readBack;
  };
  const Case cases[] = {
      {"baud=4800 parity=even stop=2", 4800, 8, 'E', s2, hsNenhum, "BAUD=4800 PARITY=E STOP=2"},
      {"PARITY=X", 9600, 8, 'N', s1, hsNenhum, ""},
      {"STOP=1.5", 9600, 8, 'N', s1, hsNenhum, ""},
      {"STOP=1,5 DATA 7", 9600, 7, 'N', s1eMeio, hsNenhum, "DATA=7 STOP=1,5"},
      {"HARDFLOW SOFTFLOW", 9600, 8, 'N', s1, hsXON_XOFF, "HANDSHAKE=XON/XOFF SOFTFLOW"},
      {"HANDSHAKE=RTS/CTS SOFTFLOW", 9600, 8, 'N', s1, hsRTS_CTS, "HANDSHAKE=RTS/CTS HARDFLOW"},
      {"  handshake = dtr/dsr  ", 9600, 8, 'N', s1, hsDTR_DSR, "HANDSHAKE=DTR/DSR"},
      {"BAUD = 1200 PARITY = M", 1200, 8, 'M', s1, hsNenhum, "BAUD=1200 PARITY=M"},
      {"BAUD 19200", 19200, 8, 'N', s1, hsNenhum, "BAUD=19200"},
      {"BAUD=+300 DATA=x", 300, 8, 'N', s1, hsNenhum, "BAUD=300"},
      // A number too long for 32 bits is no integer: the keyword counts as missing.
      {"BAUD=99999999999 DATA=5", 9600, 5, 'N', s1, hsNenhum, "DATA=5"},
      {"BAUD=", 9600, 8, 'N', s1, hsNenhum, ""},
  };
  for (const Case& c : cases) {
    device_.SetParamsString(c.text);
    EXPECT_EQ(device_.Baud(), c.baud) << c.text;
    EXPECT_EQ(device_.Data(), c.data) << c.text;
    EXPECT_EQ(device_.ParityLetter(), c.parity) << c.text;
    EXPECT_EQ(device_.Stop(), c.stop) << c.text;
    EXPECT_EQ(device_.HandShake(), c.handShake) << c.text;
    EXPECT_EQ(device_.ParamsString(), c.readBack) << c.text;
  }
}

TEST_F(DeviceExtrasTest, ReadingAndWritingRoundTrip) {
  const char* texts[] = {
      "BAUD=4800 DATA=7 PARITY=E STOP=2 HANDSHAKE=RTS/CTS HARDFLOW",
      "BAUD=115200 PARITY=S HANDSHAKE=XON/XOFF SOFTFLOW MAXBANDWIDTH=4000",
      "DATA=5 PARITY=O STOP=1,5 HANDSHAKE=DTR/DSR",
  };
  for (const char* text : texts) {
    device_.SetMaxBandwidth(0);  // kept when the text does not name it
    device_.SetParamsString(text);
    EXPECT_EQ(device_.ParamsString(), text);
  }
}

TEST_F(DeviceExtrasTest, ARefusedValueStopsTheParsing) {
  device_.SetHandShake(hsRTS_CTS);
  try {
    device_.SetParamsString("BAUD=10 DATA=7");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), kBaudMessage);
  }
  EXPECT_EQ(device_.Baud(), 9600);
  EXPECT_EQ(device_.Data(), 8);
  EXPECT_EQ(device_.HandShake(), hsNenhum);  // the defaults came first
  EXPECT_THROW(device_.SetParamsString("BAUD=-4800"), Exception);
}

TEST_F(DeviceExtrasTest, WritingReachesAnOpenPort) {
  device_.SetPorta("COM1");
  device_.Ativar();
  device_.SetParamsString("BAUD=19200 DATA=7 HANDSHAKE=RTS/CTS");
  EXPECT_EQ(port_->State().BaudRate, 19200u);
  EXPECT_EQ(port_->State().ByteSize, 7);
  EXPECT_EQ(port_->State().Flags, 0x2015u);
}

TEST(DeviceParamValue, KeywordValueRule) {
  const std::string far = "BAUD=" + std::string(250, ' ') + "4800";
  const std::string nearEnough = "BAUD" + std::string(150, ' ') + "=" + std::string(40, ' ') + "7";
  struct Case {
    std::string text;
    std::string keyword;
    std::string value;
  };
  const Case cases[] = {
      {"BAUD=4800", "BAUD", "4800"},
      {"BAUD = 4800 DATA=7", "BAUD", "4800"},
      {"BAUD 4800", "BAUD", "4800"},
      {"DATA=7 BAUD", "BAUD", ""},
      {"DATA=7", "BAUD", ""},
      {"BAUD==5", "BAUD", "=5"},
      {"MAXBANDWIDTH=10", "BAUD", ""},
      {"XBAUDY=3", "BAUD", "Y=3"},  // a plain substring search
      {far, "BAUD", ""},            // the value lies beyond the 200 characters looked at
      {nearEnough, "BAUD", "7"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TTrvDevice::ParamValue(c.text, c.keyword), c.value) << c.text;
  }
}

// ---- Serial port scan ----------------------------------------------------------------------

TEST_F(DeviceExtrasTest, ScanListsPresentAndBusyPorts) {
  // COM1 and COM3 exist, COM3 held by another program; COM2 and COM4 do not exist.
  int probes = 0;
  device_.SetPortFactory([this, &probes] {
    ++probes;
    auto port = std::make_unique<CommPortFake>(clock_);
    port->SetOpenError(NumberedPortPath(1), 2);
    port->SetOpenError(NumberedPortPath(2), 5);
    port->SetOpenError(NumberedPortPath(3), 2);
    return port;
  });
  std::vector<std::string> list{"stale"};
  device_.AcharPortasSeriais(list, 4);
  EXPECT_EQ(list, (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(probes, 1);                 // one scratch port for the whole scan
  EXPECT_TRUE(port_->Calls().empty());  // the device's own port is left alone
  EXPECT_TRUE(device_.Serial->RaiseExcept());

  device_.AcharPortasSeriais(list, 0);
  EXPECT_TRUE(list.empty());
  device_.AcharPortasSeriais(list, -3);
  EXPECT_TRUE(list.empty());
}

// ---- Print positioning ---------------------------------------------------------------------

TEST_F(DeviceExtrasTest, PrintPositioningSequences) {
  device_.SetPorta("COM1");
  device_.Ativar();
  struct Case {
    int line;
    int column;
    Bytes text;
    std::vector<Bytes> sent;
    TPoint after;
  };
  const Case cases[] = {
      {2, 5, "abc", {"\n\n     abc"}, {2, 8}},
      {2, 3, "abc", {"\r   abc"}, {2, 6}},
      {1, 0, "abc", {"\f", "\n\rabc"}, {1, 3}},
      {1, 3, "d", {"d"}, {1, 4}},
      {-1, 0, "x", {}, {1, 4}},
      {0, -1, "x", {}, {1, 4}},
      {5, 5, "", {}, {1, 4}},
  };
  for (const Case& c : cases) {
    writes_.clear();
    device_.ImprimePos(c.line, c.column, c.text);
    EXPECT_EQ(writes_, c.sent) << c.line << "," << c.column;
    EXPECT_EQ(device_.PosImp.X, c.after.X) << c.line << "," << c.column;
    EXPECT_EQ(device_.PosImp.Y, c.after.Y) << c.line << "," << c.column;
  }
}

TEST_F(DeviceExtrasTest, EjectReturnsToTheFirstLineOnly) {
  device_.SetPorta("COM1");
  device_.Ativar();
  device_.PosImp = {4, 7};
  device_.Eject();
  EXPECT_EQ(writes_, std::vector<Bytes>{"\f"});
  EXPECT_EQ(device_.PosImp.X, 0);
  EXPECT_EQ(device_.PosImp.Y, 7);
}

TEST_F(DeviceExtrasTest, TheColumnStopsAtTheLargestPosition) {
  device_.SetPorta("USB");  // nothing is sent, the position still moves
  device_.Ativar();
  device_.PosImp = {0, INT32_MAX - 1};
  device_.ImprimePos(0, INT32_MAX - 1, "abc");
  EXPECT_EQ(device_.PosImp.Y, INT32_MAX);
  EXPECT_TRUE(port_->Calls().empty());
}

TEST_F(DeviceExtrasTest, PrintingToATextFile) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("travinel-print-" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt");
  device_.SetPorta(path.string());
  device_.Ativar();
  device_.ImprimePos(1, 2, "ab");
  device_.ImprimePos(0, 0, "c");
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "\n  ab\f\rc");
  in.close();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace trv
