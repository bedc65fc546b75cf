#include "UranoProtocol.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALUrano.h"

namespace trv::tools {
namespace {

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the Urano driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class UranoAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(UranoAnswerTest, AnswersTheReading) {
  UranoProtocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(UranoAnswerTest, TheDriverReadsTheReadingBack) {
  UranoProtocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALUrano::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, UranoAnswerTest,
    ::testing::Values(
        AnswerCase{{1234, ScaleState::Stable}, "E PESO: 1,234kg", 1.234},
        AnswerCase{{1, ScaleState::Stable}, "E PESO: 0,001kg", 0.001},
        AnswerCase{{0, ScaleState::Stable}, "E PESO: 0,000kg", 0},
        AnswerCase{{150000, ScaleState::Stable}, "E PESO: 150,000kg", 150},
        AnswerCase{{1000000000000, ScaleState::Stable}, "E PESO: 1000000000,000kg", 1e9},
        AnswerCase{{-1234, ScaleState::Stable}, "E PESO:-1,234kg", -2},
        AnswerCase{{1234, ScaleState::Unstable}, "  PESO: 1,234kg", -1},
        AnswerCase{{-1234, ScaleState::Unstable}, "  PESO:-1,234kg", -1},
        AnswerCase{{1234, ScaleState::Negative}, "E PESO:-1,234kg", -2},
        AnswerCase{{1234, ScaleState::Overload}, "E PESO: ------kg", 0},
        AnswerCase{{INT64_MIN, ScaleState::Stable}, "E PESO:-9223372036854775,808kg", -2}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class UranoRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(UranoRequestTest, FindsTheEnqAtTheFront) {
  UranoProtocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, UranoRequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"P", 0, false},
                                           RequestCase{"x\x05", 0, false}));

TEST(UranoProtocolTest, IsNamedUrano) {
  EXPECT_EQ(UranoProtocol().Name(), "urano");
  const auto protocol = MakeScaleProtocol("Urano");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "urano");
}

}  // namespace
}  // namespace trv::tools
