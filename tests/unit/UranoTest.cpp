// The Urano protocol: the weight found between its text marks, and the single request of a
// reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALUrano.h"

namespace trv::testing {
namespace {

// Answers as the scale sends them; the weight is the same with either locale decimal separator.
const AnswerCase kAnswers[] = {
    {"PESO: 1,234kg", 1.234},
    {"PESO: 1.234kg", 1.234},
    {"E PESO: 1,234kg", 1.234},
    {"PESO: 001234kg", 1.234},  // grams
    {"N0 1,234kg", 1.234},      // "N0" as the start mark
    {"N0 001234kg", 1.234},
    {"PESO:-1,234kg", -2},         // the sign after the start mark
    {"  PESO: 1,234kg", -1},       // a space two characters before PESO
    {" N0 1,234kg", -1},           // no PESO: the first character is the stability mark
    {"  PESO:-1,234kg", -1},       // stability is tested before the sign
    {"PESO: 1234 kg", 0},          // an integer with a blank after it is no number
    {"PESO: 1,234 kg", 1.234},     // a decimal number may have one
    {"PESO: 1,234", -9},           // no "g": no field
    {"PESO: 1,234KG", -9},         // the search is case-sensitive
    {"PESO: 1,234kg\r\n", 1.234},  // what follows the unit is ignored
    {"x1234kg", 1.234},            // no start mark: the field begins at the second character
    {"-1234kg", -2},               // no start mark: the first character is the sign
    {"gPESO: 1,234kg", -9},        // a "g" before the weight ends the field early
    {"PESO: IIIIkg", -1},
    {"PESO: NNNNkg", -2},
    {"PESO: SSSSkg", 0},  // this scale has no overload status
    {"PESO: ABCkg", 0},
    {"PESO:  kg", -9},           // a blank field
    {"PESO: 99999999999kg", 0},  // too big for an integer: the status path
    {"PESO: 1.234,5kg", 0},      // two marks: no number
    {"PESO", -9},
    {"PESO:", -9},  // the sign position lies past the end
    {"N0", -9},
    {"", -9},
    // A single character is no answer: it holds no unit to end a weight.
    {"5", -9},
    {" ", -1},
    {"-", -2},
    // A signed field is a negative weight, never a weight that could be taken for a code.
    {"PESO: -1,234kg", -2},
    {"PESO: -1,000kg", -2},  // -1 kg would otherwise read as "unstable"
    {"PESO: -001000kg", -2},
};

TEST(UranoAnswers, EveryFormGivesItsWeightOrCode) {
  ExpectEveryAnswerGivesItsWeight(kAnswers, TTrvBALUrano::ParseAnswer);
}

using UranoTest = ActiveScaleFixture<balUrano>;

TEST_F(UranoTest, IsTheUranoModel) {
  EXPECT_NE(dynamic_cast<TTrvBALUrano*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Urano");
}

TEST_F(UranoTest, OneRequestAfterAPurgeAndAPause) {
  AnswerWith({"PESO: 1,234kg"});
  port_->ClearCalls();
  const uint64_t start = clock_.Milliseconds();
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  EXPECT_EQ(port_->Written(), ENQ);
  EXPECT_EQ(port_->Calls().front().rfind("Purge", 0), 0u);
  EXPECT_EQ(clock_.Milliseconds() - start, 200u);
  EXPECT_EQ(scale_.UltimaResposta(), "PESO: 1,234kg");
}

TEST_F(UranoTest, AWeightCodeIsReturnedWithoutAskingAgain) {
  AnswerWith({"  PESO: 1,234kg", "PESO: 1,234kg"});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -1);
  EXPECT_EQ(requests_, 1u);
}

TEST_F(UranoTest, ASilentScaleIsAReadFailure) {
  ExpectASilentScaleIsAReadFailure(ENQ, 2200, "");
}

TEST_F(UranoTest, ASplitAnswerIsReadFromItsFirstPart) {
  AnswerSplit("PESO: 1,2", "34kg");
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -9);  // the first part has no unit yet
  EXPECT_EQ(scale_.UltimaResposta(), "PESO: 1,2");
}

TEST_F(UranoTest, AFailingSendKeepsThePreviousReading) {
  AnswerWith({"PESO: 1,234kg"});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  port_->Fail(CommPortFake::Call::Write, 1117);
  EXPECT_THROW(scale_.LePeso(2000), Exception);
  EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), 1.234);
  EXPECT_EQ(scale_.UltimaResposta(), "PESO: 1,234kg");
}

TEST_F(UranoTest, UnsolicitedAnswersAreParsedAlike) {
  ExpectUnsolicitedAnswerParsed("PESO:-1,234kg", -2, "PESO:-1,234kg");
}

TEST_F(UranoTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
  EXPECT_EQ(scale_.UltimaResposta(), "");
}

}  // namespace
}  // namespace trv::testing
