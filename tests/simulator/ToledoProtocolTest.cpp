#include "ToledoProtocol.h"

#include <gtest/gtest.h>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALToledo.h"

namespace trv::tools {
namespace {

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the Toledo driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class ToledoAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ToledoAnswerTest, AnswersTheReading) {
  ToledoProtocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(ToledoAnswerTest, TheDriverReadsTheReadingBack) {
  ToledoProtocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALToledo::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(Readings, ToledoAnswerTest,
                         ::testing::Values(AnswerCase{{1234, ScaleState::Stable},
                                                      "\x02"
                                                      "001234\x03",
                                                      1.234},
                                           AnswerCase{{0, ScaleState::Stable},
                                                      "\x02"
                                                      "000000\x03",
                                                      0},
                                           AnswerCase{{1, ScaleState::Stable},
                                                      "\x02"
                                                      "000001\x03",
                                                      0.001},
                                           AnswerCase{{999999, ScaleState::Stable},
                                                      "\x02"
                                                      "999999\x03",
                                                      999.999},
                                           AnswerCase{{1000000, ScaleState::Stable},
                                                      "\x02"
                                                      "SSSSS\x03",
                                                      -10},
                                           AnswerCase{{-5, ScaleState::Stable},
                                                      "\x02"
                                                      "NNNNN\x03",
                                                      -2},
                                           AnswerCase{{1234, ScaleState::Unstable},
                                                      "\x02"
                                                      "IIIII\x03",
                                                      -1},
                                           AnswerCase{{1234, ScaleState::Negative},
                                                      "\x02"
                                                      "NNNNN\x03",
                                                      -2},
                                           AnswerCase{{1234, ScaleState::Overload},
                                                      "\x02"
                                                      "SSSSS\x03",
                                                      -10},
                                           AnswerCase{{5000000, ScaleState::Unstable},
                                                      "\x02"
                                                      "IIIII\x03",
                                                      -1}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class ToledoRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ToledoRequestTest, FindsTheEnqAtTheFront) {
  ToledoProtocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, ToledoRequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"P", 0, false},
                                           RequestCase{"x\x05", 0, false}));

TEST(ToledoProtocolTest, IsNamedToledo) {
  EXPECT_EQ(ToledoProtocol().Name(), "toledo");
  const auto protocol = MakeScaleProtocol("Toledo");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "toledo");
}

}  // namespace
}  // namespace trv::tools
