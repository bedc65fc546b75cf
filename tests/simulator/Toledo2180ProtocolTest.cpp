#include "Toledo2180Protocol.h"

#include <gtest/gtest.h>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALToledo2180.h"

namespace trv::tools {
namespace {

Bytes Five(const Bytes& line) {
  return line + line + line + line + line;
}

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the Toledo 2180 driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class Toledo2180AnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(Toledo2180AnswerTest, AnswersTheReading) {
  Toledo2180Protocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(Toledo2180AnswerTest, TheDriverReadsTheReadingBack) {
  Toledo2180Protocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALToledo2180::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, Toledo2180AnswerTest,
    ::testing::Values(
        AnswerCase{{123400, ScaleState::Stable}, Five("`001234\r"), 123.4},
        AnswerCase{{1200, ScaleState::Stable}, Five("`000012\r"), 1.2},
        AnswerCase{{1234, ScaleState::Stable}, Five("`000012\r"), 1.2},  // rounded to 100 g
        AnswerCase{{1250, ScaleState::Stable}, Five("`000013\r"), 1.3},  // half away from zero
        AnswerCase{{0, ScaleState::Stable}, Five("`000000\r"), 0},
        AnswerCase{{99999900, ScaleState::Stable}, Five("`999999\r"), 99999.9},
        AnswerCase{{99999950, ScaleState::Stable}, Five("`------\r"), 0},  // beyond the field
        AnswerCase{{-1234, ScaleState::Stable}, Five("`-00012\r"), -2},
        AnswerCase{{-30, ScaleState::Stable}, Five("`-00001\r"), -2},  // stays below zero
        AnswerCase{
            {123400, ScaleState::Unstable}, "`001234\r`001234\r`001234\r`001234\r`001235\r", -1},
        AnswerCase{
            {99999900, ScaleState::Unstable}, "`999999\r`999999\r`999999\r`999999\r`999998\r", -1},
        AnswerCase{
            {-500, ScaleState::Unstable}, "`000000\r`000000\r`000000\r`000000\r`000001\r", -1},
        AnswerCase{{123400, ScaleState::Negative}, Five("`-01234\r"), -2},
        AnswerCase{{0, ScaleState::Negative}, Five("`-00001\r"), -2},
        AnswerCase{{123400, ScaleState::Overload}, Five("`------\r"), 0}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class Toledo2180RequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Toledo2180RequestTest, FindsTheEnqAtTheFront) {
  Toledo2180Protocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, Toledo2180RequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"`", 0, false},
                                           RequestCase{"x\x05", 0, false}));

TEST(Toledo2180ProtocolTest, IsNamedToledo2180) {
  EXPECT_EQ(Toledo2180Protocol().Name(), "toledo2180");
  const auto protocol = MakeScaleProtocol("TOLEDO2180");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "toledo2180");
}

}  // namespace
}  // namespace trv::tools
