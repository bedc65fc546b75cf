// The other frames the simulator's protocols send: their bytes, and what each driver reads from
// them, whole and cut in two anywhere (as a split answer or a stream arrives).
#include <gtest/gtest.h>

#include "ControlInterpreter.h"
#include "ScaleProtocols.h"
#include "SimulatorCommandLine.h"
#include "ToledoStandardOutput.h"
#include "platform/Locale.h"
#include "scale/TrvBALDigitron.h"
#include "scale/TrvBALFilizola.h"
#include "scale/TrvBALToledo.h"
#include "scale/TrvBALToledo2180.h"

namespace trv::tools {
namespace {

const Bytes STX = "\x02";
const Bytes ETX = "\x03";
const Bytes CR = "\r";

using Parse = double (*)(const Bytes&);

struct FrameCase {
  std::string protocol;
  std::string frame;
  ScaleReading reading;
  double weight;  // what the model's driver reads from the answer
};

void PrintTo(const FrameCase& c, std::ostream* out) {
  *out << c.protocol << " " << c.frame << " " << c.reading.grams << " g "
       << ScaleStateName(c.reading.state);
}

Parse DriverOf(const std::string& protocol) {
  if (protocol == "filizola") return &TTrvBALFilizola::ParseAnswer;
  if (protocol == "toledo") return &TTrvBALToledo::ParseAnswer;
  if (protocol == "toledo2180") return &TTrvBALToledo2180::ParseAnswer;
  return &TTrvBALDigitron::ParseAnswer;
}

class FrameKindTest : public ::testing::TestWithParam<FrameCase> {
 protected:
  Bytes Answer() {
    const auto protocol = MakeScaleProtocol(GetParam().protocol);
    return protocol->FrameAnswer(GetParam().reading, GetParam().frame);
  }
};

TEST_P(FrameKindTest, TheDriverReadsTheReadingBack) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(DriverOf(GetParam().protocol)(Answer()), GetParam().weight);
  }
}

constexpr ScaleState kStable = ScaleState::Stable;
constexpr ScaleState kUnstable = ScaleState::Unstable;
constexpr ScaleState kNegative = ScaleState::Negative;
constexpr ScaleState kOverload = ScaleState::Overload;

INSTANTIATE_TEST_SUITE_P(
    Readings, FrameKindTest,
    ::testing::Values(FrameCase{"filizola", "signed", {-500, kStable}, -2},
                      FrameCase{"filizola", "signed", {1234, kNegative}, -2},
                      FrameCase{"filizola", "signed", {1234, kStable}, 1.234},
                      FrameCase{"toledo", "long", {500, kStable}, 0.5},
                      FrameCase{"toledo", "long", {-500, kStable}, -2},
                      FrameCase{"toledo", "long", {1234, kUnstable}, -1},
                      FrameCase{"toledo", "long", {1234, kOverload}, -10},
                      FrameCase{"toledo", "prt2", {1234, kStable}, 1.234},
                      FrameCase{"toledo", "prt2", {-500, kStable}, -2},
                      FrameCase{"toledo", "prt2", {1234, kUnstable}, -1},
                      FrameCase{"toledo", "prt4", {1234, kStable}, 1.234},
                      FrameCase{"toledo", "prt4", {0, kStable}, 0},
                      FrameCase{"toledo", "standard", {1234, kStable}, 1.234},
                      FrameCase{"toledo", "standard", {1234, kUnstable}, -1},
                      FrameCase{"toledo", "standard", {1234, kNegative}, -2},
                      FrameCase{"toledo", "standard", {1234, kOverload}, -10},
                      FrameCase{"toledo", "standard", {2000000, kStable}, -10},
                      FrameCase{"toledo", "standard-short", {1234, kStable}, 1.234},
                      FrameCase{"toledo2180", "standard", {1234, kStable}, 1.234},
                      FrameCase{"toledo2180", "standard", {1234, kOverload}, -10},
                      FrameCase{"digitron", "stream", {12340, kStable}, 12.34},
                      FrameCase{"digitron", "stream", {1234, kStable}, 1.234}));

// The frames as the makers define them.
TEST(FrameKinds, AreBuiltAsDefined) {
  const auto toledo = MakeScaleProtocol("toledo");
  const ScaleReading halfKg{500, kStable};
  EXPECT_EQ(toledo->FrameAnswer({-500, kStable}, "long"),
            STX + "-00500 001990 000995" + ETX);  // 0.5 kg at 19.90 the kg
  EXPECT_EQ(toledo->FrameAnswer(halfKg, "prt4"), STX + "000123" + "00500" + "001990000995" + ETX);
  const Bytes prt2 = STX + "+00.500" + CR;
  EXPECT_EQ(toledo->FrameAnswer(halfKg, "prt2"),
            prt2.substr(4) + prt2 + prt2 + prt2 + prt2.substr(0, 4));
  // Status words: A 0x25 (bit 5 and three decimals), B 0x30 (bit 5 and kg), C 0x20; the
  // checksum makes the low seven bits of the frame add up to a multiple of 128.
  const Bytes standard = STX + "\x25\x30\x20" + "000500" + "000000" + CR;
  const Bytes answer = toledo->FrameAnswer(halfKg, "standard");
  const Bytes frame = answer.substr(9, 18);
  EXPECT_EQ(frame.substr(0, 17), standard);
  unsigned sum = 0;
  for (char c : frame) sum += static_cast<unsigned char>(c) & 0x7Fu;
  EXPECT_EQ(sum % 128, 0u);
  EXPECT_EQ(MakeScaleProtocol("digitron")->FrameAnswer({12340, kStable}, "stream"),
            Bytes("234\r") + "E001234\r" + "E001234\r" + "E001234\r" + "E001");
}

// Every cut of a stream into two packets: each packet that holds a complete frame reads the
// weight (one that holds none reads as the drivers always did).
TEST(FrameKinds, AStreamCutAnywhereReadsFromItsLastCompleteFrame) {
  const ScaleReading reading{1234, kStable};
  const struct {
    std::string protocol;
    std::string frame;
    Bytes oneFrame;
  } streams[] = {
      {"toledo", "prt2", STX + "+01.234" + CR},
      {"toledo", "standard", ToledoStandardOutput::Frame(reading, true, true)},
      {"toledo", "standard-short", ToledoStandardOutput::Frame(reading, false, false)},
      {"digitron", "stream", "E01.234\r"},
  };
  for (const auto& s : streams) {
    const Bytes answer = MakeScaleProtocol(s.protocol)->FrameAnswer(reading, s.frame);
    ASSERT_NE(answer.find(s.oneFrame), Bytes::npos) << s.protocol << " " << s.frame;
    for (size_t cut = 1; cut < answer.size(); ++cut) {
      for (const Bytes& packet : {answer.substr(0, cut), answer.substr(cut)}) {
        if (packet.find(s.oneFrame) == Bytes::npos) continue;
        EXPECT_DOUBLE_EQ(DriverOf(s.protocol)(packet), 1.234)
            << s.protocol << " " << s.frame << " cut at " << cut;
      }
    }
  }
}

TEST(FrameKinds, AreChosenByCommandAndOption) {
  SimulatorSettings settings;
  const ControlInterpreter interpreter(settings);
  EXPECT_EQ(interpreter.Execute("FRAME prt2", settings, 0).reply,
            "ERR unknown frame prt2 for filizola (answer, signed)\n");
  EXPECT_EQ(interpreter.Execute("PROTOCOL toledo", settings, 0).reply, "OK\n");
  EXPECT_EQ(interpreter.Execute("FRAME PRT2", settings, 0).reply, "OK\n");
  EXPECT_EQ(settings.frame, "prt2");
  EXPECT_EQ(interpreter.Execute("PROTOCOL digitron", settings, 0).reply, "OK\n");
  EXPECT_EQ(settings.frame, "");  // a frame the new protocol does not have is dropped
  EXPECT_EQ(interpreter.Execute("FRAME stream", settings, 0).reply, "OK\n");
  EXPECT_EQ(interpreter.Execute("FRAME answer", settings, 0).reply, "OK\n");
  EXPECT_EQ(settings.frame, "");

  SimulatorCommandLine commandLine;
  const char* args[] = {"travinel-simulator", "--protocol", "toledo", "--frame", "standard"};
  ASSERT_TRUE(commandLine.Parse(5, args));
  EXPECT_EQ(commandLine.Options().settings.frame, "standard");
  for (const char* kind : {"signed", "long", "prt2", "prt4", "standard-short", "stream"}) {
    EXPECT_NE(SimulatorCommandLine::Usage().find(kind), std::string::npos) << kind;
  }
}

}  // namespace
}  // namespace trv::tools
