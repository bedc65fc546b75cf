// The Digitron protocol: the six characters after the start byte, in hundredths of a kilogram,
// and the single request of a reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALDigitron.h"

namespace trv::testing {
namespace {

// Answers as the scale sends them, read with either decimal separator.
const AnswerCase kAnswers[] = {
    {STX + "001234" + ETX, 12.34},  // hundredths of a kilogram
    {STX + "12.340" + ETX, 12.34},  // kilograms with a mark
    {STX + "12,340" + ETX, 12.34},  // either mark
    {STX + " 01234" + ETX, 12.34},  // blanks trimmed
    {STX + "IIIIII" + ETX, -1},     // unstable
    {STX + "NNNNNN" + ETX, -2},     // negative
    {STX + "SSSSSS" + ETX, -10},    // overload
    {STX + "------" + ETX, 0},      // any other character: no weight
    {STX, -9},                      // an empty field
    {STX + "      " + ETX, -9},     // a blank field
    {"123456" + ETX, 234.56},       // no start byte: the first digit is lost
    {STX + "123456" + ETX, 1234.56},
    {STX + "001234" + ETX + "trailing bytes", 12.34},  // the rest is not examined
    {STX + "0012", 0.12},                              // a short answer: what there is
    {STX + "1.2,34" + ETX, 0},                         // two marks: not a number
    {STX + "-00100" + ETX, -2},  // below zero is negative (-1 kg would read as unstable)
    {STX + "-10.00" + ETX, -2},  // (and -10 kg as overload)
    {"", -9},
};

TEST(DigitronAnswers, EveryFormGivesItsWeightOrCode) {
  ExpectEveryAnswerGivesItsWeight(kAnswers, TTrvBALDigitron::ParseAnswer);
}

// A frame of the stream Digitron-type scales send by themselves: a status byte, the six
// characters of the weight, CR.
Bytes Frame(const Bytes& weight) {
  return "E" + weight + CR;
}

// Streams read from their last complete frame; packets that hold none keep the reading above.
const AnswerCase kStreams[] = {
    {Frame("1234.0") + Frame("1234.3") + Frame("1234.5"), 1234.5},
    {Frame("1234.0").substr(4) + Frame("1234.5") + Frame("0012.5"), 12.5},  // begins mid-frame
    {Frame("0012.5") + "E0013", 12.5},                                      // ends mid-frame
    {Frame("001234") + Frame("001240"), 12.4},  // hundredths of a kilogram
    {Frame("  12.5") + Frame("  12.6"), 12.6},  // leading blanks
    {Frame("1234.0") + Frame("-012.5"), -2},    // below zero
    {Frame("1234.5"), 1234.5},                  // one frame reads as the answer does
    {"S" + Frame("1234.0").substr(1) + "I" + Frame("1234.5").substr(1), 1234.5},  // any status
    // Not the stream's shape: read as before.
    {STX + "0001.0" + CR + STX + "0002.0" + CR, 1},   // the status byte is no letter
    {Frame("IIIIII") + Frame("IIIIII"), -1},          // no number
    {Frame("12.3.4") + Frame("12.3.5"), 0},           // two marks
    {Frame("1234.0") + "1" + Frame("1234.5"), 1234},  // no frame after a stray byte
};

TEST(DigitronAnswers, AStreamReadsItsLastCompleteFrame) {
  ExpectEveryAnswerGivesItsWeight(kStreams, TTrvBALDigitron::ParseAnswer);
}

TEST(DigitronAnswers, OnlyTheFirstTenBytesAreKept) {
  EXPECT_EQ(TTrvBALDigitron::KeptAnswer(STX + "001234" + ETX + "abcdef"),
            STX + "001234" + ETX + "ab");
  EXPECT_EQ(TTrvBALDigitron::KeptAnswer(STX + "001234" + ETX), STX + "001234" + ETX);
  EXPECT_EQ(TTrvBALDigitron::KeptAnswer(""), "");
}

using DigitronTest = ActiveScaleFixture<balDigitron>;

TEST_F(DigitronTest, IsTheDigitronModel) {
  EXPECT_NE(dynamic_cast<TTrvBALDigitron*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Digitron");
}

TEST_F(DigitronTest, OneRequestAfterAPurgeAndAPause) {
  ExpectOneRequestAfterPurgeAndPause(STX + "001234" + ETX, 12.34, ENQ, STX + "001234" + ETX);
}

TEST_F(DigitronTest, ALongAnswerIsKeptToTenBytes) {
  AnswerWith({STX + "001234" + ETX + "\r\nmore"});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 12.34);
  EXPECT_EQ(scale_.UltimaResposta(), STX + "001234" + ETX + "\r\n");
}

TEST_F(DigitronTest, AWeightCodeIsReturnedWithoutAskingAgain) {
  for (const auto& [answer, code] : {std::pair<Bytes, double>{STX + "IIIIII" + ETX, -1},
                                     {STX + "NNNNNN" + ETX, -2},
                                     {STX + "SSSSSS" + ETX, -10},
                                     {STX + "000000" + ETX, 0},
                                     {STX, -9}}) {
    requests_ = 0;
    AnswerWith({answer, STX + "001234" + ETX});
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), code) << answer;
    EXPECT_EQ(requests_, 1u);
    EXPECT_EQ(scale_.UltimaResposta(), answer);
  }
}

TEST_F(DigitronTest, ASilentScaleIsAReadFailureAfterTheWholeTimeOut) {
  ExpectASilentScaleIsAReadFailure(ENQ, 2200, "");  // the pause, then the full time-out
}

TEST_F(DigitronTest, ASplitAnswerIsReadFromItsFirstPart) {
  AnswerSplit(STX + "0012", "34" + ETX);
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 0.12);
  EXPECT_EQ(scale_.UltimaResposta(), STX + "0012");
}

TEST_F(DigitronTest, AStreamSplitAcrossDeliveriesIsReadFromItsLastCompleteFrame) {
  const Bytes stream = Frame("0010.0").substr(3) + Frame("0012.5") + Frame("0013.0");
  AnswerSplit(stream.substr(0, 16), stream.substr(16));  // ends in the middle of the third
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 12.5);
  EXPECT_EQ(scale_.UltimaResposta(), stream.substr(0, 10));
}

TEST_F(DigitronTest, ALateAnswerIsPurgedBeforeTheRequest) {
  port_->ArriveAt(clock_.Milliseconds(), STX + "000999" + ETX);
  AnswerWith({STX + "001234" + ETX});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 12.34);
}

TEST_F(DigitronTest, UnsolicitedAnswersAreParsedAlike) {
  ExpectUnsolicitedAnswerParsed(STX + "SSSSSS" + ETX, -10, STX + "SSSSSS" + ETX);
}

TEST_F(DigitronTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
  EXPECT_EQ(scale_.UltimaResposta(), "");
}

TEST_F(DigitronTest, AFailingSendIsRaisedWithTheReadingCleared) {
  ExpectAFailingSendClearsTheReading(STX + "001234" + ETX, 12.34);
}

}  // namespace
}  // namespace trv::testing
