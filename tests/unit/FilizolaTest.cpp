// The Filizola protocol: every answer form, and the request loop of a reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALFilizola.h"

namespace trv::testing {
namespace {

// Answers as the scale sends them, read with the locale's decimal separator ','.
const AnswerCase kAnswers[] = {
    {STX + "001234" + ETX, 1.234},         // grams
    {STX + "01.234" + ETX, 1.234},         // kilograms with a mark
    {STX + "01,234" + ETX, 1.234},         // either mark
    {STX + "001234 000000" + ETX, 1.234},  // 11 characters or more: the first six
    {STX + "01.234 000000" + ETX, 0.001234},
    {STX + "000000" + ETX, 0},               // no weight
    {STX + "IIIIII" + ETX, -1},              // unstable
    {STX + "NNNNNN" + ETX, -2},              // negative
    {STX + "SSSSSS" + ETX, -10},             // overload
    {STX + "001234" + ETX + "\r", 0},        // the ETX is not last: the conversion fails on it
    {STX + ETX, -9},                         // an empty field
    {"001234", 1.234},                       // no framing
    {STX + "0012", 0.012},                   // the first part of a split answer
    {STX + "1.234,5" + ETX, 0},              // two marks: not a number
    {STX + "0123456789" + ETX, 123456.789},  // ten characters: still whole
    {STX + "9999999999" + ETX, 0},           // does not fit an integer: the status path
    {STX + "  I  " + ETX, -1},               // the status letter after trimming
    {STX + STX + "001234" + ETX, 0},         // only one STX is framing
    {"", -9},
    // A net weight below zero is sent with "-" first: it is the negative code, whatever its size
    // (-1 kg would otherwise read as unstable and -10 kg as overload in the form).
    {STX + "-0125" + ETX, -2},
    {STX + "-00.500" + ETX, -2},
    {STX + "-01000" + ETX, -2},
    {STX + "-10.000" + ETX, -2},
    {STX + "-00500 001990 000995" + ETX, -2},  // weight, price and total: the weight is first
    {STX + "-00000" + ETX, 0},                 // nothing below zero: no weight
};

TEST(FilizolaAnswers, EveryFormGivesItsWeightOrCode) {
  ExpectEveryAnswerGivesItsWeight(kAnswers, TTrvBALFilizola::ParseAnswer);
}

using FilizolaTest = ActiveScaleFixture<balFilizola>;

TEST_F(FilizolaTest, RequestsAgainUntilAWeightArrives) {
  AnswerWith({STX + "IIIIII" + ETX, STX + "000000" + ETX, STX + "001234" + ETX});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  EXPECT_EQ(port_->Written(), ENQ + ENQ + ENQ);
  EXPECT_EQ(scale_.UltimaResposta(), STX + "001234" + ETX);
  // Each request follows a purge, so a late answer is not taken for the next one.
  EXPECT_GE(Purges(), 3);
}

TEST_F(FilizolaTest, AnUnstableScaleIsAskedUntilTheDeadline) {
  AnswerWith({STX + "IIIIII" + ETX});
  const uint64_t start = clock_.Milliseconds();
  EXPECT_DOUBLE_EQ(scale_.LePeso(1000), -1);
  EXPECT_EQ(requests_, 5u);  // one request every 200 ms pause plus the answer's 10 ms
  EXPECT_LT(clock_.Milliseconds() - start, 1300u);
}

TEST_F(FilizolaTest, ASilentScaleIsAReadFailure) {
  ExpectASilentScaleIsAReadFailure(ENQ, 2000, "");  // the wait used up the time-out
}

TEST_F(FilizolaTest, NoTimeMeansNoRequest) {
  AnswerWith({STX + "001234" + ETX});
  EXPECT_DOUBLE_EQ(scale_.LePeso(0), 0);
  EXPECT_DOUBLE_EQ(scale_.LePeso(-100), 0);
  EXPECT_TRUE(port_->Written().empty());
  EXPECT_EQ(scale_.UltimaResposta(), "");
}

TEST_F(FilizolaTest, ASplitAnswerIsReadFromItsFirstPart) {
  AnswerSplit(STX + "0012", "34" + ETX);
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 0.012);
}

TEST_F(FilizolaTest, ALateAnswerIsPurgedBeforeTheNextRequest) {
  port_->ArriveAt(clock_.Milliseconds(), STX + "000999" + ETX);  // left from an earlier request
  AnswerWith({STX + "001234" + ETX});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
}

TEST_F(FilizolaTest, UnsolicitedAnswersAreParsedAlike) {
  ExpectUnsolicitedAnswerParsed(STX + "NNNNNN" + ETX, -2, STX + "NNNNNN" + ETX);
}

TEST_F(FilizolaTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();  // the port is closed: the reception fails
}

}  // namespace
}  // namespace trv::testing
