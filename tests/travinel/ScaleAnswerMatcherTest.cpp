// Which model answered: the drivers' parsers decide, only a weight names a model, and bytes a
// wrong line setting garbles name none.
#include <gtest/gtest.h>

#include <optional>

#include "ScaleAnswerMatcher.h"
#include "platform/Locale.h"

namespace trv::detection {
namespace {

const Bytes STX = "\x02";
const Bytes ETX = "\x03";
const Bytes ENQ = "\x05";
const Bytes CR = "\r";

struct MatchCase {
  const char* what;
  Bytes answer;
  std::optional<Bytes> request;  // nothing: heard without asking
  int model;                     // 0: no model
  double weight;
};

const MatchCase kCases[] = {
    {"Magna asked with P", "PESO 1.234 kg\r\n", Bytes("P"), 6, 1.234},
    {"Magna's answer to ENQ, which Magna never asks", "PESO 1.234 kg\r\n", ENQ, 0, 0},
    {"Urano", "E PESO: 1,234kg", ENQ, 4, 1.234},
    {"LucasTec, whose lines Toledo's long answer would also read",
     STX + "B 1.234 kg B T 0.000 kg T L 1.234 kg L" + CR + STX +
         "B 1.234 kg B T 0.000 kg T L 1.234 kg L" + CR + STX +
         "B 1.234 kg B T 0.000 kg T L 1.234 kg L" + CR + STX +
         "B 1.234 kg B T 0.000 kg T L 1.234 kg L" + CR,
     ENQ, 5, 1.234},
    {"Toledo 2180", "`000012\r`000012\r`000012\r`000012\r`000012\r", ENQ, 3, 1.2},
    {"a Digitron stream heard unasked", "234\rE01.234\rE01.234\rE01.234\rE01.", std::nullopt, 7,
     1.234},
    {"a Digitron stream heard from a frame's start, which Toledo's long answer would read",
     "E01.234\rE01.234\rE01.234\r", std::nullopt, 7, 1.234},
    {"a Toledo Prt2 stream heard unasked",
     ".234\r" + STX + "+01.234\r" + STX + "+01.234\r" + STX + "+01", std::nullopt, 2, 1.234},
    {"a plain weight field: Toledo, which also knows the streams", STX + "001234" + ETX, ENQ, 2,
     1.234},
    {"an empty scale names no model", STX + "000000" + ETX, ENQ, 0, 0},
    {"an answer at the wrong parity (7E1 read as 8N1)", "\x82\xB0\xB0\xB0\x31\xB2\xB3\x34\x83", ENQ,
     0, 0},
    {"nothing", "", ENQ, 0, 0},
};

TEST(ScaleAnswerMatcher, NamesTheModelThatReadsAWeight) {
  const platform::ScopedDecimalSeparator separator(',');
  for (const MatchCase& c : kCases) {
    const std::vector<ModelReading> readings = ScaleAnswerMatcher::Match(c.answer, c.request);
    if (c.model == 0) {
      EXPECT_TRUE(readings.empty()) << c.what;
      continue;
    }
    ASSERT_FALSE(readings.empty()) << c.what;
    EXPECT_EQ(readings.front().model, c.model) << c.what;
    EXPECT_DOUBLE_EQ(readings.front().weight, c.weight) << c.what;
  }
}

TEST(ScaleAnswerMatcher, ListsTheOtherModelsThatReadTheSameAnswer) {
  const auto readings = ScaleAnswerMatcher::Match(STX + "001234" + ETX, ENQ);
  ASSERT_EQ(readings.size(), 3u);
  EXPECT_EQ(readings[1].name, "Filizola");
  EXPECT_EQ(readings[2].name, "Digitron");
  EXPECT_DOUBLE_EQ(readings[2].weight, 12.34);  // hundredths: why it comes last
}

TEST(ScaleAnswerMatcher, AsksEachDistinctRequestOnce) {
  EXPECT_EQ(ScaleAnswerMatcher::DistinctRequests(), (std::vector<Bytes>{ENQ, "P"}));
}

}  // namespace
}  // namespace trv::detection
