// The Toledo protocol: the short and long answer forms, and the single request of a reading.
#include <gtest/gtest.h>

#include "ScaleFixture.h"
#include "ToledoStandardFrames.h"
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

// The weight/price/total answer (22 bytes): STX, the sign byte ("-" for a negative net weight,
// else a blank or a digit), five weight digits, a blank, six price digits, a blank, six total
// digits, ETX.
Bytes WeightPriceTotal(char sign, const Bytes& weight) {
  return STX + sign + weight + " " + "  1990" + " " + "     0" + ETX;
}

const AnswerCase kSignedLongAnswers[] = {
    {WeightPriceTotal('-', "00500"), -2},  // a negative net weight
    {WeightPriceTotal('-', "12345"), -2},
    {WeightPriceTotal(' ', "00500"), 0.5},  // any other sign byte keeps the reading
    {WeightPriceTotal('0', "00500"), 0.5},
    {WeightPriceTotal('+', "00500"), 0.5},
    {WeightPriceTotal('-', "00000"), 0},            // nothing below zero: no weight
    {WeightPriceTotal('-', "IIIII"), -1},           // a status letter stays what it says
    {WeightPriceTotal('-', "     "), -9},           // and an empty field a read failure
    {Long("001234", 0x28).replace(1, 1, "-"), -2},  // the sign byte of any long answer
};

TEST(ToledoAnswers, ALongAnswerSignedBelowZeroIsNegative) {
  ExpectEveryAnswerGivesItsWeight(kSignedLongAnswers, TTrvBALToledo::ParseAnswer);
}

// A frame of the continuous stream of Prt2-type scales: STX, the sign, the weight in kilograms
// with three decimals, CR.
Bytes Prt2(const Bytes& signedWeight) {
  return STX + signedWeight + CR;
}

// Streams read from their last complete frame; packets that hold none keep the reading above.
const AnswerCase kStreams[] = {
    {Prt2("+01.000") + Prt2("+01.200") + Prt2("+01.234"), 1.234},          // three in one packet
    {Prt2("+01.000") + Prt2("+01.234"), 1.234},                            // two: 18 bytes
    {Prt2("+01.000").substr(4) + Prt2("+00.750") + Prt2("+00.800"), 0.8},  // begins mid-frame
    {Prt2("+01.000") + Prt2("+01.234") + STX + "+01.5", 1.234},            // ends mid-frame
    {Prt2("-00.500") + Prt2("-00.500") + Prt2("-00.500"), -2},             // negative
    {Prt2("-0.500") + Prt2("-0.500") + Prt2("-0.500"), -2},                // one integer digit
    {Prt2("+00.000") + Prt2("+00.000") + Prt2("+00.000"), 0},
    {Prt2(" 12.345") + Prt2(" 12.350"), 12.35},  // a blank sign
    {Prt2("+01.234"), 1.234},                    // one frame reads as the short answer does
    {Prt2("-0.500"), -2},
    {Prt2("+1.2345") + Prt2("+1.2345") + Prt2("+1.2345"), 1.2345},  // no such frame: long
    {STX + "001234" + CR + STX + "001240" + CR, 1.234},             // no sign: as today
};

TEST(ToledoAnswers, AStreamReadsItsLastCompleteFrame) {
  ExpectEveryAnswerGivesItsWeight(kStreams, TTrvBALToledo::ParseAnswer);
}

const AnswerCase kStandardFrames[] = {
    {Kg("001234"), 1.234},
    {Standard{kSwa | 0, kSwb | kKg, "001234"}, 123400},        // XXXX00
    {Standard{kSwa | 1, kSwb | kKg, "001234"}, 12340},         // XXXXX0
    {Standard{kSwa | 2, kSwb | kKg, "001234"}, 1234},          // XXXXXX
    {Standard{kSwa | 3, kSwb | kKg, "001234"}, 123.4},         // XXXXX.X
    {Standard{kSwa | 4, kSwb | kKg, "001234"}, 12.34},         // XXXX.XX
    {Standard{kSwa | 6, kSwb | kKg, "001234"}, 0.1234},        // XX.XXXX
    {Standard{kSwa | 7, kSwb | kKg, "001234"}, 0.01234},       // X.XXXXX
    {Standard{kSwa | 0x18 | 4, kSwb | kKg, "001234"}, 12.34},  // bits 3 and 4 say nothing here
    {Standard{kSwa | 4, kSwb, "001000"}, 10 * kKgPerLb},       // pounds
    {Kg("001234", kNet), 1.234},                               // a net weight is a weight
    {Kg("001234", kMotion), -1},
    {Kg("001234", kNegative), -2},
    {Kg("001234", kOutOfRange), -10},
    {Kg("001234", kOutOfRange | kMotion | kNegative), -10},
    {Kg("001234", kMotion | kNegative), -1},
    {Kg("000000"), 0},
    {Kg("  1234"), 1.234},                                                     // leading blanks
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "000100"}, 1.234},  // the tare aside
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "000000", false}, 1.234},
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", ""}, 1.234},  // the short form
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "", false}, 1.234},
    {static_cast<Bytes>(Kg("001000")) + static_cast<Bytes>(Kg("001200")) +
         static_cast<Bytes>(Kg("001234")),
     1.234},  // a stream: the last complete frame
    {static_cast<Bytes>(Kg("001000")).substr(7) + static_cast<Bytes>(Kg("001234")) +
         static_cast<Bytes>(Kg("001240")).substr(0, 9),
     1.234},  // begins and ends mid-frame
    {static_cast<Bytes>(Standard{kSwa | 4, kSwb | kKg, "001000", "000000", false}) +
         static_cast<Bytes>(Standard{kSwa | 4, kSwb | kKg, "001234", "000000", false}),
     12.34},
    // Not recognised exactly: read as before (here no weight).
    {Bytes(Kg("001234")).replace(17, 1, "x"), 0},                          // a wrong checksum
    {Standard{0x60 | kThreeDecimals, kSwb | kKg, "001234"}, 0},            // bit 6 of A set
    {Standard{kThreeDecimals, kSwb | kKg, "001234"}, 0},                   // bit 5 of A clear
    {Standard{kSwa | kThreeDecimals, kKg, "001234"}, 0},                   // bit 5 of B clear
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "0012x4"}, 0},            // a letter in the weight
    {Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "00 000"}, 0},  // a blank in the tare
    // After the CR, neither the checksum nor the next frame's STX.
    {Bytes(Standard{kSwa | kThreeDecimals, kSwb | kKg, "001234", "000000", false}) + "x", 0},
    {Bytes(Kg("001234")) + "x", 1.234},  // after the checksum, anything may begin
};

TEST(ToledoAnswers, TheStandardContinuousOutputIsRecognised) {
  ExpectEveryAnswerGivesItsWeight(kStandardFrames, TTrvBALToledo::ParseAnswer);
}

// The weight/price/total answer with a product code (25 bytes): STX, six code digits, five
// weight digits (three decimals), six price digits, six total digits, ETX.
Bytes WithProductCode(const Bytes& code, const Bytes& weight) {
  return STX + code + weight + "001990" + "002456" + ETX;
}

const AnswerCase kProductCodeFrames[] = {
    {WithProductCode("000123", "01234"), 1.234},
    {WithProductCode("999999", "00500"), 0.5},
    {WithProductCode("000123", "00000"), 0},
    {WithProductCode("000123", "0123x"), 1.23},        // not all digits: the long answer as before
    {WithProductCode("000123", "01234") + "0", 1.23},  // 26 bytes: the long answer as before
};

TEST(ToledoAnswers, TheProductCodeFrameReadsItsWeight) {
  ExpectEveryAnswerGivesItsWeight(kProductCodeFrames, TTrvBALToledo::ParseAnswer);
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

TEST_F(ToledoTest, AStreamSplitAcrossDeliveriesIsReadFromItsLastCompleteFrame) {
  // The first delivery ends in the middle of the third frame.
  const Bytes stream = Prt2("+01.000") + Prt2("+01.234") + Prt2("+01.240");
  AnswerSplit(stream.substr(0, 22), stream.substr(22));
  EXPECT_DOUBLE_EQ(scale_.LePeso(2000), 1.234);
  EXPECT_EQ(scale_.UltimaResposta(), stream.substr(0, 22));
}

TEST_F(ToledoTest, AnUnsolicitedStandardStreamIsReadWhileMonitoring) {
  const Bytes stream = Bytes(Kg("001000")).substr(5) + Bytes(Kg("001234"));
  ExpectUnsolicitedAnswerParsed(stream, 1.234, stream);
}

TEST_F(ToledoTest, ReceptionNeverRaises) {
  ExpectReceptionNeverRaises();
}

TEST_F(ToledoTest, AFailingSendIsRaisedWithTheReadingCleared) {
  ExpectAFailingSendClearsTheReading(STX + "001234" + ETX, 1.234);
}

}  // namespace
}  // namespace trv::testing
