#include "FilizolaProtocol.h"

#include <gtest/gtest.h>

namespace trv::tools {
namespace {

// STX, the field, ETX.
Bytes Framed(const std::string& field) {
  return '\x02' + field + '\x03';
}

struct AnswerCase {
  int64_t grams;
  ScaleState state;
  std::string field;
};

class FilizolaAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(FilizolaAnswerTest, AnswersTheReading) {
  FilizolaProtocol protocol;
  const AnswerCase& c = GetParam();
  EXPECT_EQ(protocol.Answer({c.grams, c.state}), Framed(c.field));
}

INSTANTIATE_TEST_SUITE_P(Readings, FilizolaAnswerTest,
                         ::testing::Values(AnswerCase{1234, ScaleState::Stable, "001234"},
                                           AnswerCase{0, ScaleState::Stable, "000000"},
                                           AnswerCase{1, ScaleState::Stable, "000001"},
                                           AnswerCase{999999, ScaleState::Stable, "999999"},
                                           AnswerCase{1000000, ScaleState::Stable, "SSSSSS"},
                                           AnswerCase{-5, ScaleState::Stable, "NNNNNN"},
                                           AnswerCase{1234, ScaleState::Unstable, "IIIIII"},
                                           AnswerCase{1234, ScaleState::Negative, "NNNNNN"},
                                           AnswerCase{1234, ScaleState::Overload, "SSSSSS"},
                                           AnswerCase{5000000, ScaleState::Unstable, "IIIIII"}));

struct RequestCase {
  Bytes received;
  size_t length;
  bool begins;
};

class FilizolaRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(FilizolaRequestTest, FindsTheEnqAtTheFront) {
  FilizolaProtocol protocol;
  const RequestCase& c = GetParam();
  EXPECT_EQ(protocol.RequestLength(c.received), c.length);
  EXPECT_EQ(protocol.BeginsRequest(c.received), c.begins);
}

INSTANTIATE_TEST_SUITE_P(Received, FilizolaRequestTest,
                         ::testing::Values(RequestCase{"\x05", 1, true},
                                           RequestCase{"\x05\x05", 1, true},
                                           RequestCase{"\x05garbage", 1, true},
                                           RequestCase{"", 0, false}, RequestCase{"P", 0, false},
                                           RequestCase{"x\x05", 0, false},
                                           RequestCase{Bytes(1, '\0'), 0, false}));

TEST(FilizolaProtocolTest, IsNamedFilizola) {
  EXPECT_EQ(FilizolaProtocol().Name(), "filizola");
}

}  // namespace
}  // namespace trv::tools
