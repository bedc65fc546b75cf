// The Toledo 2180 protocol: the weight of each line, the stability of five lines, and the
// reception of a reading line by line.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "ToledoStandardFrames.h"
#include "scale/TrvBALToledo2180.h"

namespace trv::testing {
namespace {

// A line as the indicator sends it: a prefix, the grave accent, the field, the CR.
Bytes Line(const Bytes& field) {
  return "P`" + field + "  " + CR;
}

Bytes Lines(const std::vector<Bytes>& fields) {
  Bytes lines;
  for (const Bytes& field : fields) lines += Line(field);
  return lines;
}

Bytes FiveTimes(const Bytes& field) {
  return Lines({field, field, field, field, field});
}

struct LineCase {
  Bytes line;
  double reading;
};

// Lines without their CR; the reading is the same with either locale decimal separator.
const LineCase kLines[] = {
    {"`001234", 123.4},  // one implied decimal
    {"`000500", 50},
    {"`000000", 0},
    {"P`001234xyz", 123.4},  // bytes before and after are ignored
    {"`12345", 12345},       // five characters: the mark goes at the end
    {"`1", 1},
    {"`", 0},        // no field: no number
    {"`0012.3", 0},  // a second mark: no number
    {"`0012,3", 0},
    {"`001234`000500", 123.4},  // the first accent counts
    {"001234", 0},              // no accent
    {"", 0},
    {"`IIIIII", 0},      // letters are no status here
    {"`  1234", 123.4},  // leading blanks
    {"`00 234", 0},
    {"`-01234", -123.4},  // a signed field is read as it stands
};

TEST(Toledo2180Lines, EveryLineGivesItsReading) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    for (const LineCase& c : kLines) {
      EXPECT_DOUBLE_EQ(TTrvBALToledo2180::ReadingOf(c.line), c.reading)
          << "line \"" << c.line << "\" with separator " << separator;
    }
  }
}

struct ReadingsCase {
  TTrvBALToledo2180::Readings readings;
  double weight;
};

const ReadingsCase kReadings[] = {
    {{123.4, 123.4, 123.4, 123.4, 123.4}, 123.4},
    {{0, 50, 123.4, 123.4, 123.4}, 123.4},  // the first two take no part
    {{123.4, 123.4, 123.4, 123.4, 124}, -1},
    {{123.4, 123.4, 124, 123.4, 123.4}, -1},
    {{0, 0, 0, 0, 0}, 0},        // no accents: no weight, not unstable
    {{-5, -5, -5, -5, -5}, -2},  // a settled weight below zero is negative
    {{1, 1, -1, -2, -3}, -1},    // a moving negative weight is unstable
};

TEST(Toledo2180Readings, OnlyTheLastThreeDecide) {
  for (const ReadingsCase& c : kReadings) {
    EXPECT_DOUBLE_EQ(TTrvBALToledo2180::WeightOf(c.readings), c.weight)
        << c.readings[0] << " " << c.readings[1] << " " << c.readings[2] << " " << c.readings[3]
        << " " << c.readings[4];
  }
}

struct BurstCase {
  Bytes lines;
  double weight;
};

const BurstCase kBursts[] = {
    {FiveTimes("001234"), 123.4},
    {Lines({"000000", "000500", "001234", "001234", "001234"}), 123.4},
    {Lines({"001234", "001234", "001234", "001234", "001240"}), -1},
    {"abc\rabc\rabc\rabc\rabc\r", 0},             // five lines without an accent
    {Lines({"001234", "001234", "001234"}), -9},  // three lines, then nothing
    {FiveTimes("001234") + "`000999", 123.4},     // what follows the fifth CR waits
    {FiveTimes("001234").substr(0, 20), -9},
    {"", -9},
};

TEST(Toledo2180Answers, FiveLinesMakeAReading) {
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    for (const BurstCase& c : kBursts) {
      EXPECT_DOUBLE_EQ(TTrvBALToledo2180::ParseAnswer(c.lines), c.weight)
          << "lines \"" << c.lines << "\" with separator " << separator;
    }
  }
}

Bytes FiveFrames(const Bytes& frame) {
  return frame + frame + frame + frame + frame;
}

// Indicators in the standard continuous output: five lines read as ever, the weight from the
// last complete frame.
const BurstCase kStandardBursts[] = {
    {FiveFrames(Kg("001234")), 1.234},
    {FiveFrames(Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "000000", false}), 1.234},
    {FiveFrames(Standard{kSwa | 4, kSwb | kKg, "001234", ""}), 12.34},  // the short form
    {Bytes(Kg("001000")) + Bytes(Kg("001100")) + Bytes(Kg("001200")) + Bytes(Kg("001234")) +
         Bytes(Kg("001234")),
     1.234},
    {Bytes(Kg("001000")).substr(6) + FiveFrames(Kg("001234")), 1.234},  // begins mid-frame
    {FiveFrames(Kg("001234", kMotion)), -1},
    {FiveFrames(Kg("001234", kNegative)), -2},
    {FiveFrames(Kg("001234", kOutOfRange)), -10},
    {FiveFrames(Standard{kSwa | 4, kSwb, "001000"}), 10 * kKgPerLb},
    {Bytes(Kg("001234")) + Bytes(Kg("001234")), -9},  // two lines, then nothing
    // Not recognised exactly (bit 6 of status word A set): five lines without an accent.
    {FiveFrames(Standard{0x60 | kThreeDecimals, kSwb | kKg, "001234"}), 0},
};

TEST(Toledo2180Answers, TheStandardContinuousOutputIsRecognised) {
  for (const BurstCase& c : kStandardBursts) {
    EXPECT_DOUBLE_EQ(TTrvBALToledo2180::ParseAnswer(c.lines), c.weight)
        << "lines \"" << c.lines << "\"";
  }
}

using Toledo2180Test = ActiveScaleFixture<balToledo2180>;

TEST_F(Toledo2180Test, IsTheToledo2180Model) {
  EXPECT_NE(dynamic_cast<TTrvBALToledo2180*>(&scale_.BAL()), nullptr);
  EXPECT_EQ(scale_.ModeloStr(), "Toledo 2180");
}

TEST_F(Toledo2180Test, OneRequestAndFiveLines) {
  AnswerWith({Lines({"000000", "000500", "001234", "001234", "001234"})});
  const uint64_t start = clock_.Milliseconds();
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 123.4);
  EXPECT_EQ(port_->Written(), ENQ);
  EXPECT_EQ(clock_.Milliseconds() - start, 200u);
  EXPECT_EQ(scale_.UltimaResposta(), "P`001234  ");  // the last line, without its CR
}

TEST_F(Toledo2180Test, AMovingWeightIsUnstableWithoutAskingAgain) {
  AnswerWith({Lines({"001234", "001234", "001234", "001234", "001240"}), FiveTimes("001234")});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -1);
  EXPECT_EQ(requests_, 1u);
  EXPECT_EQ(scale_.UltimaResposta(), "P`001240  ");
}

TEST_F(Toledo2180Test, LinesWithoutAccentsAreNoWeight) {
  AnswerWith({Bytes("abc\rabc\rabc\rabc\rabc\r")});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 0);
}

TEST_F(Toledo2180Test, ASilentScaleIsAReadFailure) {
  const uint64_t start = clock_.Milliseconds();
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -9);
  EXPECT_EQ(clock_.Milliseconds() - start, 2200u);
  EXPECT_EQ(scale_.UltimaResposta(), "");
}

TEST_F(Toledo2180Test, ATimeOutOnALaterLineIsAReadFailure) {
  AnswerWith({Lines({"001234", "001234", "001234"})});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -9);
  EXPECT_EQ(scale_.UltimaResposta(), "P`001234  ");  // the last line received

  AnswerWith({FiveTimes("001234").substr(0, 4 * 11)});  // four good lines, the fifth missing
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), -9);
}

TEST_F(Toledo2180Test, LinesSplitAcrossDeliveriesAreJoined) {
  const Bytes lines = FiveTimes("001234");
  port_->SetResponder([this, lines](const Bytes&) {
    port_->ArriveAfter(250, lines.substr(0, 5));
    port_->ArriveAfter(300, lines.substr(5, 20));
    port_->ArriveAfter(400, lines.substr(25));
  });
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 123.4);
}

TEST_F(Toledo2180Test, LeftOverLinesArePurgedByTheNextRequest) {
  // The first answer carries three lines too many; were they read as the next answer's first
  // lines, the last three readings would differ.
  AnswerWith({FiveTimes("001234") + Lines({"000999", "000999", "000999"}), FiveTimes("001234")});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 123.4);
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 123.4);
  EXPECT_EQ(requests_, 2u);
}

TEST_F(Toledo2180Test, ABurstBeyondTheLineLimitIsReadLineByLine) {
  // A streaming scale's queue: five good lines, then more than the scale's 4096-byte line limit
  // in all. The lines end well within the limit, so they are read; the rest waits.
  const Bytes burst = FiveTimes("001234");
  AnswerWith({burst + Bytes(4097 - burst.size(), 'x')});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 123.4);
  EXPECT_EQ(scale_.UltimaResposta(), "P`001234  ");
}

TEST_F(Toledo2180Test, UnsolicitedLinesAreParsedAlike) {
  port_->ArriveAt(clock_.Milliseconds(), FiveTimes("000500"));
  scale_.BAL().LeSerial(500);
  EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), 50);
  EXPECT_TRUE(port_->Written().empty());
}

TEST_F(Toledo2180Test, AStandardStreamIsReadFromItsLastCompleteFrame) {
  const Bytes stream = Bytes(Kg("001000")).substr(6) + FiveFrames(Kg("001234"));
  AnswerWith({stream});
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  port_->ArriveAfter(0, FiveFrames(Kg("002500", kMotion)));
  scale_.BAL().LeSerial(500);
  EXPECT_DOUBLE_EQ(scale_.UltimoPesoLido(), -1);
}

TEST_F(Toledo2180Test, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
}

}  // namespace
}  // namespace trv::testing
