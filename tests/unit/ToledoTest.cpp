// The Toledo protocol: the short and long answer forms, and the single request of a reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALToledo.h"

namespace trv::testing {
namespace {

// A long answer: two bytes, the six-character field, the flag byte and twelve more (21 in all).
Bytes Long(const Bytes& field, char flag) {
  return STX + "A" + field + flag + Bytes(12, '0');
}

// Answers as the scale sends them; the weight is the same with either locale decimal separator.
const AnswerCase kAnswers[] = {
    {STX + "001234" + ETX, 1.234},  // short: grams
    {STX + "01.234" + ETX, 1.234},  // kilograms with a mark
    {STX + "01,234" + ETX, 1.234},  // either mark
    {STX + "001234" + CR, 1.234},   // no ETX: the CR ends the field
    {"001234" + CR, 1.234},         // no STX: the field starts at the first byte
    {STX + "001234", 1.234},        // no end mark
    {"001234", 1.234},
    {STX + "IIIII" + ETX, -1},         // unstable
    {STX + "NNNNN" + ETX, -2},         // negative
    {STX + "SSSSS" + ETX, -10},        // overload
    {ETX + STX + "001234" + ETX, -9},  // a stale ETX before the STX: empty field
    {Long("001234", 0x20), 1.234},     // long, flag clear: three decimals
    {Long("001234", 0x28), 12.34},     // long, flag set: two decimals
    {Long("01.234", 0x28), 1.234},     // the flag leaves a marked field alone
    {Long("  1234", 0x08), 12.34},     // the long field is trimmed; only bit 3 counts
    {Long("001234", static_cast<char>(0xF7)), 1.234},  // every other bit set
    {Long("IIIIII", 0x20), -1},
    {Long("      ", 0x20), -9},
    // Exactly 20 bytes is the short form; 21 the long one, whatever the framing.
    {STX + "001234" + ETX + "(" + Bytes(11, ' '), 1.234},
    {STX + "001234" + ETX + "(" + Bytes(12, ' '), 12.34},  // field 01234 and ETX, flag "("
    {STX + "001234" + ETX + "junk", 1.234},                // bytes after the end mark are ignored
    {STX + "0012" + CR + "34" + ETX, 0},                   // the ETX ends it, not the earlier CR
    {STX + " 1234 " + ETX, 1.234},                         // blanks around the field
    {STX + "   " + ETX, -9},                               // blanks only
    {STX + ETX, -9},
    {STX + "ABCDEF" + ETX, 0},       // no number and no status letter
    {STX + "1.234,5" + ETX, 0},      // two marks: no number
    {STX + "99999999999" + ETX, 0},  // too big for an integer: the status path
    {STX + "0012", 0.012},           // the first part of a split answer
    {"", -9},
    // A signed field is a negative weight, never a weight that could be taken for a code.
    {STX + "-01234" + ETX, -2},
    {STX + "-01000" + ETX, -2},  // -1 kg would otherwise read as "unstable"
    {STX + "-10.0" + ETX, -2},   // -10 kg would otherwise read as "overload"
    {Long("-01234", 0x28), -2},
};

TEST(ToledoAnswers, EveryFormGivesItsWeightOrCode) {
  ExpectEveryAnswerGivesItsWeight(kAnswers, TTrvBALToledo::ParseAnswer);
}

using ToledoTest = ActiveScaleFixture<balToledo>;

TEST_F(ToledoTest, IsTheToledoModel) {
  EXPECT_NE(dynamic_cast<TTrvBALToledo*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Toledo");
}

TEST_F(ToledoTest, OneRequestAfterAPurgeAndAPause) {
  ExpectOneRequestAfterPurgeAndPause(STX + "001234" + ETX, 1.234, ENQ, STX + "001234" + ETX);
}

TEST_F(ToledoTest, AWeightCodeIsReturnedWithoutAskingAgain) {
  for (const auto& [answer, code] : {std::pair<Bytes, double>{STX + "IIIII" + ETX, -1},
                                     {STX + "NNNNN" + ETX, -2},
                                     {STX + "SSSSS" + ETX, -10},
                                     {STX + "000000" + ETX, 0}}) {
    requests_ = 0;
    AnswerWith({answer, STX + "001234" + ETX});
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), code) << answer;
    EXPECT_EQ(requests_, 1u);
  }
}

TEST_F(ToledoTest, ASilentScaleIsAReadFailureAfterTheWholeTimeOut) {
  ExpectASilentScaleIsAReadFailure(ENQ, 2200, "");  // the pause, then the full time-out
}

TEST_F(ToledoTest, ASplitAnswerIsReadFromItsFirstPart) {
  AnswerSplit(STX + "0012", "34" + ETX);
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 0.012);
  EXPECT_EQ(scale_.UltimaResposta(), STX + "0012");
}

TEST_F(ToledoTest, ALateAnswerIsPurgedBeforeTheRequest) {
  port_->ArriveAt(clock_.Milliseconds(), STX + "000999" + ETX);
  AnswerWith({STX + "001234" + ETX});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
}

TEST_F(ToledoTest, UnsolicitedAnswersAreParsedAlike) {
  // Without a purge a stale ETX may come first: the field is then empty.
  port_->ArriveAt(clock_.Milliseconds(), ETX + STX + "001234" + ETX);
  scale_.BAL().LeSerial(500);
  EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), -9);
  EXPECT_EQ(scale_.UltimaResposta(), ETX + STX + "001234" + ETX);
  port_->ArriveAfter(0, Long("001234", 0x28));
  scale_.BAL().LeSerial(500);
  EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), 12.34);
  EXPECT_TRUE(port_->Written().empty());
}

TEST_F(ToledoTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
}

TEST_F(ToledoTest, AFailingSendIsRaisedWithTheReadingCleared) {
  ExpectAFailingSendClearsTheReading(STX + "001234" + ETX, 1.234);
}

}  // namespace
}  // namespace trv::testing
