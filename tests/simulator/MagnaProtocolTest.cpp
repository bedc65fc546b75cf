#include "MagnaProtocol.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALMagna.h"

namespace trv::tools {
namespace {

struct AnswerCase {
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the Magna driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class MagnaAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(MagnaAnswerTest, AnswersTheReading) {
  MagnaProtocol protocol;
  EXPECT_EQ(protocol.Answer(GetParam().reading), GetParam().answer);
}

TEST_P(MagnaAnswerTest, TheDriverReadsTheReadingBack) {
  MagnaProtocol protocol;
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(TTrvBALMagna::ParseAnswer(protocol.Answer(GetParam().reading)),
                     GetParam().weight);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, MagnaAnswerTest,
    ::testing::Values(AnswerCase{{1234, ScaleState::Stable}, "PESO 1.234 kg\r\n", 1.234},
                      AnswerCase{{1, ScaleState::Stable}, "PESO 0.001 kg\r\n", 0.001},
                      AnswerCase{{0, ScaleState::Stable}, "PESO 0.000 kg\r\n", 0},
                      AnswerCase{{999999, ScaleState::Stable}, "PESO 999.999 kg\r\n", 999.999},
                      AnswerCase{{1000000, ScaleState::Stable}, "PESO SOBRECARGA\r\n", 0},
                      AnswerCase{{-1234, ScaleState::Stable}, "PESO NEGATIVO\r\n", -2},
                      AnswerCase{{INT64_MIN, ScaleState::Stable}, "PESO NEGATIVO\r\n", -2},
                      AnswerCase{{1234, ScaleState::Negative}, "PESO NEGATIVO\r\n", -2},
                      // No unstable or overload form: both read as no weight.
                      AnswerCase{{1234, ScaleState::Unstable}, "PESO INSTAVEL\r\n", 0},
                      AnswerCase{{1234, ScaleState::Overload}, "PESO SOBRECARGA\r\n", 0}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class MagnaRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(MagnaRequestTest, FindsThePAtTheFront) {
  MagnaProtocol protocol;
  EXPECT_EQ(protocol.RequestLength(GetParam().received), GetParam().length);
  EXPECT_EQ(protocol.BeginsRequest(GetParam().received), GetParam().begins);
}

INSTANTIATE_TEST_SUITE_P(Received, MagnaRequestTest,
                         ::testing::Values(RequestCase{"P", 1, true}, RequestCase{"PP", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"\x05", 0, false},
                                           RequestCase{"p", 0, false},
                                           RequestCase{"xP", 0, false}));

TEST(MagnaProtocolTest, IsNamedMagna) {
  EXPECT_EQ(MagnaProtocol().Name(), "magna");
  const auto protocol = MakeScaleProtocol("MAGNA");
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->Name(), "magna");
}

}  // namespace
}  // namespace trv::tools
