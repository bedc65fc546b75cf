// The LucasTec protocol: the labelled weights of a line, the stability of four lines, and the
// single request of a reading.
#include <gtest/gtest.h>

#include <array>

#include "ScaleFixture.h"
#include "scale/TrvBALLucasTec.h"

namespace trv::testing {
namespace {

const Bytes kTimeoutMessage = "Communication error 9997: Timeout during operation";

struct LineCase {
  Bytes line;  // as received, before its CR
  double reading;
};

// Lines as the scale sends them, read with either decimal separator.
const LineCase kLines[] = {
    {STX + "B 2.000 kg B T 0.500 kg T L 1.500 kg L", 1.5},        // the net weight when positive
    {STX + "B 2.000 kg B T 0.000 kg T L 0.000 kg L", 2},          // else the gross
    {STX + "B 2000 kg B T 0 kg T L 0 kg L", 2},                   // integers are thousandths
    {STX + "B 0.500 kg B T 1.000 kg T L 0.000 kg L", -2},         // tare above gross: negative
    {STX + "B 2.000 kg B", 0},                                    // "kg B" without its space
    {STX + "2.000 kg B T 0.000 kg T L 0.000 kg L", 0},            // no word before the gross
    {STX + "2.000 kg B T 0.500 kg T L 0.000 kg L", -2},           // ... so a tare makes it negative
    {STX + "B 2,000 kg B T 0,500 kg T L 1,500 kg L", 1.5},        // either mark
    {STX + "B 2.000kg B T 0.500kg T L 1.500kg L", 1.5},           // numbers touching their labels
    {STX + "B 2.000   kg B T 0.500   kg T L 1.500   kg L", 1.5},  // or blanks before them
    {STX + "B 2.000 kg B T 0.500 KG T L 1.500 KG L", 1.5},        // labels in any letter case
    {STX + "B 2.000 KG B T 0.000 kg T L 0.000 kg L", 0},          // but the gross mark is exact
    {STX + "B 2.000 kg b T 0.000 kg T L 0.000 kg L", 0},
    {STX + "B 2.000 kg B T 2.000 kg T L 0.000 kg L", 2},    // a tare equal to the gross
    {STX + "B 2.000 kg B T 2.000 kg T L 0.500 kg L", 0.5},  // is not negative
    {STX + "B 2.000 kg B ", 2},                             // tare and net absent
    {STX + "B 1500 kg B T 0 kg T L 1500 kg L", 1.5},
    {STX + "B abc kg B T 0 kg T L 0 kg L", 0},              // a word that is no number counts 0
    {STX + "B 1.2.3 kg B T 0 kg T L 0 kg L", 0},            // two marks: no number
    {STX + "B 99999999999 kg B T 0 kg T L 0 kg L", 0},      // too big for an integer: no number
    {STX + "B 2.000 kg B T 0 kg T L -1.000 kg L", 2},       // a net below zero: the gross
    {STX + "B -1.000 kg B T -1.000 kg T L 0 kg L", -2},     // a gross below zero is negative
    {"noise" + STX + "B 2.000 kg B T 0 kg T L 0 kg L", 2},  // everything up to the STX dropped
    {"B 2.000 kg B T 0 kg T L 0 kg L", 2},                  // a line without STX is whole
    {"", 0},
};

TEST(LucasTecLines, EveryLineGivesItsReading) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    for (const LineCase& c : kLines) {
      EXPECT_DOUBLE_EQ(TTrvBALLucasTec::LineReading(TTrvBALLucasTec::LineText(c.line)), c.reading)
          << "line \"" << c.line << "\" with separator " << separator;
    }
  }
}

TEST(LucasTecLines, TheTextIsWhatFollowsTheFirstStx) {
  EXPECT_EQ(TTrvBALLucasTec::LineText("ab" + STX + "cd" + STX + "e"), "cd" + STX + "e");
  EXPECT_EQ(TTrvBALLucasTec::LineText("abc"), "abc");
  EXPECT_EQ(TTrvBALLucasTec::LineText(STX), "");
}

struct SettleCase {
  std::array<double, 4> readings;
  double weight;
};

const SettleCase kSettles[] = {
    {{0, 1.5, 1.5, 1.5}, 1.5},   // the first reading takes no part
    {{1.5, 1.5, 1.5, 1.4}, -1},  // the last three must agree
    {{1.5, 1.4, 1.5, 1.5}, -1}, {{-2, -2, -2, -2}, -2}, {{0, 0, 0, 0}, 0},
};

TEST(LucasTecLines, TheLastThreeReadingsMustAgree) {
  for (const SettleCase& c : kSettles) {
    EXPECT_DOUBLE_EQ(TTrvBALLucasTec::SettledReading(c.readings), c.weight);
  }
}

Bytes Line(const std::string& text) {
  return STX + text + CR;
}

TEST(LucasTecLines, AWholeAnswerNeedsFourLines) {
  const Bytes good = Line("B 2.000 kg B T 0.500 kg T L 1.500 kg L");
  EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(good + good + good + good), 1.5);
  EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(good + good + good + good + "junk"), 1.5);
  EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(good + good + good), -9);
  EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(good + good + good + STX + "B 2"), -9);
  EXPECT_DOUBLE_EQ(TTrvBALLucasTec::ParseAnswer(""), -9);
}

class LucasTecTest : public ScaleFixture {
 protected:
  void SetUp() override {
    scale_.SetModelo(balLucasTec);
    scale_.Ativar();
  }

  static Bytes Lines(const std::array<std::string, 4>& texts) {
    Bytes lines;
    for (const std::string& text : texts) lines += Line(text);
    return lines;
  }

  const std::string net15_ = "B 2.000 kg B T 0.500 kg T L 1.500 kg L";
  const std::string gross2_ = "B 2.000 kg B T 0.000 kg T L 0.000 kg L";
};

TEST_F(LucasTecTest, IsTheLucasTecModel) {
  EXPECT_NE(dynamic_cast<TTrvBALLucasTec*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "LucasTec");
}

TEST_F(LucasTecTest, OneRequestAfterAPurgeAndAPauseThenFourLines) {
  // The lines wait for the pause; the answer is the last line, without its STX and CR.
  ExpectOneRequestAfterPurgeAndPause(Lines({gross2_, net15_, net15_, net15_}), 1.5, ENQ, net15_);
}

TEST_F(LucasTecTest, DifferingLinesAreUnstableWithoutAskingAgain) {
  AnswerWith({Lines({net15_, net15_, net15_, gross2_}), Lines({net15_, net15_, net15_, net15_})});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -1);
  EXPECT_EQ(port_->Written(), ENQ);
  EXPECT_EQ(scale_.UltimaResposta(), gross2_);
}

TEST_F(LucasTecTest, EveryWeightCodeIsReturnedAtOnce) {
  const std::string negative = "B 0.500 kg B T 1.000 kg T L 0.000 kg L";
  const std::string empty = "B 0.000 kg B T 0.000 kg T L 0.000 kg L";
  for (const auto& [text, code] :
       {std::pair<std::string, double>{negative, -2}, {empty, 0}, {"no weight here", 0}}) {
    requests_ = 0;
    AnswerWith({Lines({text, text, text, text}), Lines({net15_, net15_, net15_, net15_})});
    EXPECT_DOUBLE_EQ(scale_.LePeso(2000), code) << text;
    EXPECT_EQ(requests_, 1u);
  }
}

TEST_F(LucasTecTest, LinesArrivingOneByOneOrSplitAreGathered) {
  port_->SetResponder([this](const Bytes&) {
    port_->ArriveAfter(250, Line(net15_) + STX + "B 2.000 kg");
    port_->ArriveAfter(300, " B T 0.500 kg T L 1.500 kg L" + CR);
    port_->ArriveAfter(400, Line(net15_));
    port_->ArriveAfter(500, Line(net15_));
  });
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.5);
}

TEST_F(LucasTecTest, AFifthLineStaysForTheNextReceptionUntilThePurge) {
  AnswerWith({Lines({net15_, net15_, net15_, net15_}) + Line(gross2_)});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.5);
  EXPECT_EQ(scale_.Device().Serial->LineBuffer(), Line(gross2_));
  AnswerWith({Lines({gross2_, gross2_, gross2_, gross2_})});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 2);
}

TEST_F(LucasTecTest, ABurstBeyondTheLineLimitIsReadLineByLine) {
  const Bytes lines = Lines({net15_, net15_, net15_, net15_});
  AnswerWith({lines + Bytes(4097 - lines.size(), ' ')});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.5);
  EXPECT_EQ(scale_.UltimaResposta(), net15_);
}

TEST_F(LucasTecTest, ASilentScaleIsAReadFailureWithTheTimeOutMessage) {
  // The pause, then the full time-out.
  ExpectASilentScaleIsAReadFailure(ENQ, 2200, kTimeoutMessage);
  ASSERT_EQ(readings_.size(), 1u);
  EXPECT_EQ(readings_[0].answer, kTimeoutMessage);
}

TEST_F(LucasTecTest, ATimeOutOnTheFourthLineFailsTheReading) {
  AnswerWith({Lines({net15_, net15_, net15_, net15_}).substr(0, 3 * (net15_.size() + 2))});
  const uint64_t start = clock_.Milliseconds();
  EXPECT_DOUBLE_EQ(scale_.LePeso(1000), -9);
  EXPECT_EQ(scale_.UltimaResposta(), kTimeoutMessage);
  EXPECT_EQ(clock_.Milliseconds() - start, 1200u);  // three lines at once, the fourth waited for
}

TEST_F(LucasTecTest, EachLineWaitsWithTheWholeTimeOut) {
  port_->SetResponder([this](const Bytes&) {
    for (uint64_t delay : {900, 1800, 2700, 3600}) port_->ArriveAfter(delay, Line(net15_));
  });
  EXPECT_DOUBLE_EQ(scale_.LePeso(1000), 1.5);
}

TEST_F(LucasTecTest, UnsolicitedLinesAreParsedAlike) {
  ExpectUnsolicitedAnswerParsed(Lines({net15_, gross2_, gross2_, gross2_}), 2, gross2_);
}

TEST_F(LucasTecTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();  // the port is closed: the reception fails with its message
  EXPECT_EQ(scale_.UltimaResposta().rfind("Communication error 9994: ", 0), 0u);
}

TEST_F(LucasTecTest, AFailingSendIsRaisedWithTheReadingCleared) {
  ExpectAFailingSendClearsTheReading(Lines({net15_, net15_, net15_, net15_}), 1.5);
}

}  // namespace
}  // namespace trv::testing
