#include "LucasTecProtocol.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALLucasTec.h"

namespace trv::tools {
namespace {

Bytes Line(const std::string& gross, const std::string& tare, const std::string& net) {
  const Bytes stx = "\x02";
  return stx + "B " + gross + " kg B T " + tare + " kg T L " + net + " kg L\r";
}

Bytes Four(const Bytes& line) {
  return line + line + line + line;
}

const Bytes kDashes = Four(Line("------", "------", "------"));

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the LucasTec driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class LucasTecAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(LucasTecAnswerTest, AnswersTheReading) {
  LucasTecProtocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(LucasTecAnswerTest, TheDriverReadsTheReadingBack) {
  LucasTecProtocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, LucasTecAnswerTest,
    ::testing::Values(
        AnswerCase{{1234, ScaleState::Stable}, Four(Line("1.234", "0.000", "1.234")), 1.234},
        AnswerCase{{1, ScaleState::Stable}, Four(Line("0.001", "0.000", "0.001")), 0.001},
        AnswerCase{{0, ScaleState::Stable}, Four(Line("0.000", "0.000", "0.000")), 0},
        AnswerCase{
            {999999, ScaleState::Stable}, Four(Line("999.999", "0.000", "999.999")), 999.999},
        AnswerCase{{1000000, ScaleState::Stable}, kDashes, 0},  // beyond the range: no weight
        AnswerCase{{-1234, ScaleState::Stable}, Four(Line("0.000", "1.234", "-1.234")), -2},
        AnswerCase{{INT64_MIN, ScaleState::Stable}, Four(Line("0.000", "999.999", "-999.999")), -2},
        AnswerCase{{1234, ScaleState::Negative}, Four(Line("0.000", "1.234", "-1.234")), -2},
        AnswerCase{{0, ScaleState::Negative}, Four(Line("0.000", "0.001", "-0.001")), -2},
        AnswerCase{{1234, ScaleState::Unstable},
                   Line("1.234", "0.000", "1.234") + Line("1.235", "0.000", "1.235") +
                       Line("1.236", "0.000", "1.236") + Line("1.237", "0.000", "1.237"),
                   -1},
        AnswerCase{{999999, ScaleState::Unstable},
                   Line("999.995", "0.000", "999.995") + Line("999.996", "0.000", "999.996") +
                       Line("999.997", "0.000", "999.997") + Line("999.998", "0.000", "999.998"),
                   -1},
        AnswerCase{{1234, ScaleState::Overload}, kDashes, 0}));  // no overload form

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class LucasTecRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(LucasTecRequestTest, FindsTheEnqAtTheFront) {
  LucasTecProtocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, LucasTecRequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"P", 0, false},
                                           RequestCase{"x\x05", 0, false}));

TEST(LucasTecProtocolTest, IsNamedLucasTec) {
  EXPECT_EQ(LucasTecProtocol().Name(), "lucastec");
  const auto protocol = MakeScaleProtocol("LucasTec");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "lucastec");
}

}  // namespace
}  // namespace trv::tools
