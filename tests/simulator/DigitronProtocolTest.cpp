#include "DigitronProtocol.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALDigitron.h"

namespace trv::tools {
namespace {

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the Digitron driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class DigitronAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(DigitronAnswerTest, AnswersTheReading) {
  DigitronProtocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(DigitronAnswerTest, TheDriverReadsTheReadingBack) {
  DigitronProtocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALDigitron::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(Readings, DigitronAnswerTest,
                         ::testing::Values(AnswerCase{{12340, ScaleState::Stable},
                                                      "\x02"
                                                      "001234\x03",
                                                      12.34},  // hundredths
                                           AnswerCase{{1234, ScaleState::Stable},
                                                      "\x02"
                                                      "01.234\x03",
                                                      1.234},  // kilograms
                                           AnswerCase{{1, ScaleState::Stable},
                                                      "\x02"
                                                      "00.001\x03",
                                                      0.001},
                                           AnswerCase{{0, ScaleState::Stable},
                                                      "\x02"
                                                      "000000\x03",
                                                      0},
                                           AnswerCase{{99999, ScaleState::Stable},
                                                      "\x02"
                                                      "99.999\x03",
                                                      99.999},
                                           AnswerCase{{100001, ScaleState::Stable},
                                                      "\x02"
                                                      "SSSSSS\x03",
                                                      -10},  // not exact
                                           AnswerCase{{9999990, ScaleState::Stable},
                                                      "\x02"
                                                      "999999\x03",
                                                      9999.99},
                                           AnswerCase{{10000000, ScaleState::Stable},
                                                      "\x02"
                                                      "SSSSSS\x03",
                                                      -10},
                                           AnswerCase{{-1234, ScaleState::Stable},
                                                      "\x02"
                                                      "NNNNNN\x03",
                                                      -2},
                                           AnswerCase{{INT64_MIN, ScaleState::Stable},
                                                      "\x02"
                                                      "NNNNNN\x03",
                                                      -2},
                                           AnswerCase{{1234, ScaleState::Unstable},
                                                      "\x02"
                                                      "IIIIII\x03",
                                                      -1},
                                           AnswerCase{{1234, ScaleState::Negative},
                                                      "\x02"
                                                      "NNNNNN\x03",
                                                      -2},
                                           AnswerCase{{1234, ScaleState::Overload},
                                                      "\x02"
                                                      "SSSSSS\x03",
                                                      -10}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class DigitronRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(DigitronRequestTest, FindsTheEnqAtTheFront) {
  DigitronProtocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, DigitronRequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"P", 0, false},
                                           RequestCase{"x\x05", 0, false}));

TEST(DigitronProtocolTest, IsNamedDigitron) {
  EXPECT_EQ(DigitronProtocol().Name(), "digitron");
  const auto protocol = MakeScaleProtocol("Digitron");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "digitron");
}

}  // namespace
}  // namespace trv::tools
