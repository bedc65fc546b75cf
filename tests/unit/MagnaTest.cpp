// The Magna protocol: the weight between the first space and the unit, the Windows-1252 texts
// that stand for a negative or unread weight, and the "P" request loop of a reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "scale/TrvBALMagna.h"

namespace trv::testing {
namespace {

const Bytes P = "P";
// The stored texts, spelled out byte by byte: 14 bytes each, ending in a space.
const Bytes kNegative = "Peso Negativo ";
const Bytes kNotRead = {'P', 'e', 's', 'o', ' ', 'N', '\xE3', 'o', ' ', 'L', 'i', 'd', 'o', ' '};

TEST(MagnaTexts, AreFourteenWindows1252Bytes) {
  ASSERT_EQ(kNotRead.size(), 14u);
  EXPECT_EQ(static_cast<unsigned char>(kNotRead[6]), 0xE3u);
  EXPECT_EQ(kNegative.size(), 14u);
  EXPECT_EQ(TTrvBALMagna::StoredAnswer(-9, "line"), kNotRead);
  EXPECT_EQ(TTrvBALMagna::StoredAnswer(-2, "line"), kNegative);
  EXPECT_EQ(TTrvBALMagna::StoredAnswer(0, "line"), "line");
  EXPECT_EQ(TTrvBALMagna::StoredAnswer(1.234, "line"), "line");
}

struct AnswerCase {
  Bytes answer;
  std::string field;
  double weight;
  Bytes stored;  // what the driver keeps as the answer
};

// Answers as the scale sends them, read with either decimal separator.
const AnswerCase kAnswers[] = {
    {"PESO 1.234 kg" + CR + LF, " 1.234 ", 1.234, "PESO 1.234 kg" + CR},
    {"P 001234kg" + LF, " 001234", 1.234, "P 001234kg"},
    // A long field: its six characters after the leading space (1.234, not 0.123).
    {"P 001234 0000kg" + LF, " 001234 0000", 1.234, "P 001234 0000kg"},
    {"P NEGATIVO" + LF, " NEGATIV", -2, kNegative},       // no "k": the last character left out
    {"P IIIII" + LF, " IIII", 0, "P IIIII"},              // no unstable status: no weight
    {"P SSSSS" + LF, " SSSS", 0, "P SSSSS"},              // no overload status either
    {"1.234 kg" + LF, " ", -9, kNotRead},                 // no space before the weight
    {"P 1.234 kg", "", -9, kNotRead},                     // no LF: nothing is read
    {"P 1,234 kg" + LF, " 1,234 ", 1.234, "P 1,234 kg"},  // either mark
    {"P 1.234 Kg" + LF, " 1.234 K", 0, "P 1.234 Kg"},     // only a lower-case k is the unit
    {"P 123456789kg" + LF, " 123456789", 123456.789, "P 123456789kg"},  // ten, space included
    {"P 0123456789kg" + LF, " 0123456789", 12.345, "P 0123456789kg"},   // eleven: six of them
    {"P 000000 kg" + LF, " 000000 ", 0, "P 000000 kg"},                 // no weight
    {"P 99999999999kg" + LF, " 99999999999", 999.999, "P 99999999999kg"},
    {"9999999999" + LF, "9999999999", 0, "9999999999"},  // too big for an integer
    {"P -1.000 kg" + LF, " -1.000 ", -2, kNegative},     // below zero: negative, not unstable
    {"P 1.234 kg" + LF + "P 2.000 kg" + LF, " 1.234 ", 1.234, "P 1.234 kg"},  // first line
    {"kP 1.234" + LF, "", -9, kNotRead},  // the unit before the space: no field
    {"P" + LF, "P", 0, "P"},              // no space: the field starts at the first character
    {LF, "", -9, kNotRead},
    {"", "", -9, kNotRead},
};

TEST(MagnaAnswers, EveryFormGivesItsWeightOrCodeAndText) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    for (const AnswerCase& c : kAnswers) {
      const Bytes line = TTrvBALMagna::AnswerLine(c.answer);
      EXPECT_EQ(TTrvBALMagna::WeightField(line), c.field) << c.answer;
      const double weight = TTrvBALMagna::ParseAnswer(c.answer);
      EXPECT_DOUBLE_EQ(weight, c.weight) << "answer \"" << c.answer << "\" with " << separator;
      EXPECT_EQ(TTrvBALMagna::StoredAnswer(weight, line), c.stored) << c.answer;
    }
  }
}

TEST(MagnaAnswers, ALineWithoutASpaceIsReadFromItsStart) {
  // With no space the field starts at the first character and runs up to the "k", included.
  EXPECT_EQ(TTrvBALMagna::WeightField("1.234kg"), "1.234k");
  EXPECT_DOUBLE_EQ(TTrvBALMagna::ParseLine("1.234kg"), 0);
  EXPECT_EQ(TTrvBALMagna::WeightField("NEG"), "NEG");
  EXPECT_DOUBLE_EQ(TTrvBALMagna::ParseLine("NEG"), -2);
}

using MagnaTest = ActiveScaleFixture<balMagna>;

TEST_F(MagnaTest, IsTheMagnaModel) {
  EXPECT_NE(dynamic_cast<TTrvBALMagna*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Magna");
}

TEST_F(MagnaTest, AsksWithPAndKeepsTheLineBeforeItsLf) {
  ExpectOneRequestAfterPurgeAndPause("PESO 1.234 kg" + CR + LF, 1.234, P, "PESO 1.234 kg" + CR);
}

TEST_F(MagnaTest, AsksAgainAfterAPurgeUntilAWeightArrives) {
  AnswerWith({"P NEGATIVO" + LF, "P IIIII" + LF, "P 1.234 kg", "P 001234kg" + LF});
  port_->ClearCalls();
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  EXPECT_EQ(port_->Written(), P + P + P + P);
  EXPECT_EQ(Purges(), 4);
  EXPECT_EQ(scale_.UltimaResposta(), "P 001234kg");
}

TEST_F(MagnaTest, ANegativeScaleIsAskedUntilTheDeadline) {
  AnswerWith({"P NEGATIVO" + LF});
  EXPECT_DOUBLE_EQ(scale_.LePeso(1000), -2);
  EXPECT_EQ(requests_, 5u);  // one request every 200 ms pause plus the answer's 10 ms
  EXPECT_EQ(scale_.UltimaResposta(), kNegative);
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_EQ(readings_[0].answer, kNegative);
}

TEST_F(MagnaTest, ASilentScaleIsNotRead) {
  ExpectASilentScaleIsAReadFailure(P, 2000, kNotRead);  // the wait used up the time-out
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_EQ(readings_[0].answer, kNotRead);
}

TEST_F(MagnaTest, AnAnswerSplitBeforeItsLfIsNotRead) {
  port_->SetResponder([this](const Bytes&) {
    port_->ArriveAfter(250, "P 1.2");
    port_->ArriveAfter(300, "34 kg" + LF);
  });
  EXPECT_DOUBLE_EQ(scale_.LePeso(250), -9);  // one attempt: its first part has no LF
  EXPECT_EQ(scale_.UltimaResposta(), kNotRead);
}

TEST_F(MagnaTest, AnAnswerWithoutLfIsNotReadThoughItHoldsAWeight) {
  AnswerWith({"P 1.234 kg"});
  EXPECT_DOUBLE_EQ(scale_.LePeso(300), -9);
  EXPECT_EQ(scale_.UltimaResposta(), kNotRead);
}

TEST_F(MagnaTest, NoTimeMeansNoRequest) {
  AnswerWith({"P 1.234 kg" + LF});
  EXPECT_DOUBLE_EQ(scale_.LePeso(0), 0);
  EXPECT_DOUBLE_EQ(scale_.LePeso(-100), 0);
  EXPECT_TRUE(port_->Written().empty());
  EXPECT_EQ(scale_.UltimaResposta(), "");
}

TEST_F(MagnaTest, UnsolicitedAnswersAreParsedAlike) {
  ExpectUnsolicitedAnswerParsed("P NEGATIVO" + LF, -2, kNegative);
}

TEST_F(MagnaTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
  EXPECT_EQ(scale_.UltimaResposta(), kNotRead);
}

TEST_F(MagnaTest, AFailingSendIsRaisedWithThePreviousAttemptKept) {
  ExpectAFailingSendClearsTheReading("P 1.234 kg" + LF, 1.234);
}

}  // namespace
}  // namespace trv::testing
