// What each simulated protocol answers for a reading, read back by the model's own driver, and
// which received bytes make its request: one table per question, every model in it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>

#include "ScaleProtocols.h"
#include "platform/Locale.h"
#include "scale/TrvBALDigitron.h"
#include "scale/TrvBALFilizola.h"
#include "scale/TrvBALLucasTec.h"
#include "scale/TrvBALMagna.h"
#include "scale/TrvBALToledo.h"
#include "scale/TrvBALToledo2180.h"
#include "scale/TrvBALUrano.h"

namespace trv::tools {
namespace {

// The driver that reads each protocol's answers in the control.
const std::map<std::string, std::function<double(const Bytes&)>>& Drivers() {
  static const std::map<std::string, std::function<double(const Bytes&)>> drivers{
      {"filizola", TTrvBALFilizola::ParseAnswer},     {"toledo", TTrvBALToledo::ParseAnswer},
      {"toledo2180", TTrvBALToledo2180::ParseAnswer}, {"urano", TTrvBALUrano::ParseAnswer},
      {"lucastec", TTrvBALLucasTec::ParseAnswer},     {"magna", TTrvBALMagna::ParseAnswer},
      {"digitron", TTrvBALDigitron::ParseAnswer}};
  return drivers;
}

// STX, the field, ETX.
Bytes Framed(const std::string& field) {
  return '\x02' + field + '\x03';
}

Bytes Repeated(const Bytes& line, int times) {
  Bytes lines;
  for (int i = 0; i < times; ++i) lines += line;
  return lines;
}

// One line of LucasTec's gross, tare and net.
Bytes LucasTecLine(const std::string& gross, const std::string& tare, const std::string& net) {
  return "\x02"
         "B " +
         gross + " kg B T " + tare + " kg T L " + net + " kg L\r";
}

Bytes LucasTecFour(const std::string& gross, const std::string& tare, const std::string& net) {
  return Repeated(LucasTecLine(gross, tare, net), 4);
}

const Bytes kLucasTecDashes = LucasTecFour("------", "------", "------");

struct AnswerCase {
  std::string protocol;
  ScaleReading reading;
  Bytes answer;
  double weight;  // what the model's driver reads from the answer
};

void PrintTo(const AnswerCase& c, std::ostream* out) {
  *out << c.protocol << " " << c.reading.grams << " g " << ScaleStateName(c.reading.state);
}

class ProtocolAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ProtocolAnswerTest, AnswersTheReadingAndTheDriverReadsItBack) {
  const AnswerCase& c = GetParam();
  const auto protocol = MakeScaleProtocol(c.protocol);
  ASSERT_NE(protocol, nullptr);
  const Bytes answer = protocol->Answer(c.reading);
  EXPECT_EQ(answer, c.answer);
  for (char separator : {',', '.'}) {
    platform::ScopedDecimalSeparator scoped(separator);
    EXPECT_DOUBLE_EQ(Drivers().at(c.protocol)(answer), c.weight) << "separator " << separator;
  }
}

constexpr ScaleState kStable = ScaleState::Stable;
constexpr ScaleState kUnstable = ScaleState::Unstable;
constexpr ScaleState kNegative = ScaleState::Negative;
constexpr ScaleState kOverload = ScaleState::Overload;

INSTANTIATE_TEST_SUITE_P(
    Filizola, ProtocolAnswerTest,
    ::testing::Values(AnswerCase{"filizola", {1234, kStable}, Framed("001234"), 1.234},
                      AnswerCase{"filizola", {0, kStable}, Framed("000000"), 0},
                      AnswerCase{"filizola", {1, kStable}, Framed("000001"), 0.001},
                      AnswerCase{"filizola", {999999, kStable}, Framed("999999"), 999.999},
                      AnswerCase{"filizola", {1000000, kStable}, Framed("SSSSSS"), -10},
                      AnswerCase{"filizola", {-5, kStable}, Framed("NNNNNN"), -2},
                      AnswerCase{"filizola", {1234, kUnstable}, Framed("IIIIII"), -1},
                      AnswerCase{"filizola", {1234, kNegative}, Framed("NNNNNN"), -2},
                      AnswerCase{"filizola", {1234, kOverload}, Framed("SSSSSS"), -10},
                      AnswerCase{"filizola", {5000000, kUnstable}, Framed("IIIIII"), -1}));

INSTANTIATE_TEST_SUITE_P(
    Toledo, ProtocolAnswerTest,
    ::testing::Values(AnswerCase{"toledo", {1234, kStable}, Framed("001234"), 1.234},
                      AnswerCase{"toledo", {0, kStable}, Framed("000000"), 0},
                      AnswerCase{"toledo", {1, kStable}, Framed("000001"), 0.001},
                      AnswerCase{"toledo", {999999, kStable}, Framed("999999"), 999.999},
                      AnswerCase{"toledo", {1000000, kStable}, Framed("SSSSS"), -10},
                      AnswerCase{"toledo", {-5, kStable}, Framed("NNNNN"), -2},
                      AnswerCase{"toledo", {1234, kUnstable}, Framed("IIIII"), -1},
                      AnswerCase{"toledo", {1234, kNegative}, Framed("NNNNN"), -2},
                      AnswerCase{"toledo", {1234, kOverload}, Framed("SSSSS"), -10},
                      AnswerCase{"toledo", {5000000, kUnstable}, Framed("IIIII"), -1}));

INSTANTIATE_TEST_SUITE_P(
    Toledo2180, ProtocolAnswerTest,
    ::testing::Values(
        AnswerCase{"toledo2180", {123400, kStable}, Repeated("`001234\r", 5), 123.4},
        AnswerCase{"toledo2180", {1200, kStable}, Repeated("`000012\r", 5), 1.2},
        // Rounded to 100 g, halves away from zero.
        AnswerCase{"toledo2180", {1234, kStable}, Repeated("`000012\r", 5), 1.2},
        AnswerCase{"toledo2180", {1250, kStable}, Repeated("`000013\r", 5), 1.3},
        AnswerCase{"toledo2180", {0, kStable}, Repeated("`000000\r", 5), 0},
        AnswerCase{"toledo2180", {99999900, kStable}, Repeated("`999999\r", 5), 99999.9},
        // Beyond the field.
        AnswerCase{"toledo2180", {99999950, kStable}, Repeated("`------\r", 5), 0},
        AnswerCase{"toledo2180", {-1234, kStable}, Repeated("`-00012\r", 5), -2},
        // A small negative weight stays below zero.
        AnswerCase{"toledo2180", {-30, kStable}, Repeated("`-00001\r", 5), -2},
        AnswerCase{"toledo2180", {123400, kUnstable}, Repeated("`001234\r", 4) + "`001235\r", -1},
        AnswerCase{"toledo2180", {99999900, kUnstable}, Repeated("`999999\r", 4) + "`999998\r", -1},
        AnswerCase{"toledo2180", {-500, kUnstable}, Repeated("`000000\r", 4) + "`000001\r", -1},
        AnswerCase{"toledo2180", {123400, kNegative}, Repeated("`-01234\r", 5), -2},
        AnswerCase{"toledo2180", {0, kNegative}, Repeated("`-00001\r", 5), -2},
        AnswerCase{"toledo2180", {123400, kOverload}, Repeated("`------\r", 5), 0}));

INSTANTIATE_TEST_SUITE_P(
    Urano, ProtocolAnswerTest,
    ::testing::Values(
        AnswerCase{"urano", {1234, kStable}, "E PESO: 1,234kg", 1.234},
        AnswerCase{"urano", {1, kStable}, "E PESO: 0,001kg", 0.001},
        AnswerCase{"urano", {0, kStable}, "E PESO: 0,000kg", 0},
        AnswerCase{"urano", {150000, kStable}, "E PESO: 150,000kg", 150},
        AnswerCase{"urano", {1000000000000, kStable}, "E PESO: 1000000000,000kg", 1e9},
        AnswerCase{"urano", {-1234, kStable}, "E PESO:-1,234kg", -2},
        AnswerCase{"urano", {1234, kUnstable}, "  PESO: 1,234kg", -1},
        AnswerCase{"urano", {-1234, kUnstable}, "  PESO:-1,234kg", -1},
        AnswerCase{"urano", {1234, kNegative}, "E PESO:-1,234kg", -2},
        AnswerCase{"urano", {1234, kOverload}, "E PESO: ------kg", 0},
        AnswerCase{"urano", {INT64_MIN, kStable}, "E PESO:-9223372036854775,808kg", -2}));

INSTANTIATE_TEST_SUITE_P(
    LucasTec, ProtocolAnswerTest,
    ::testing::Values(
        AnswerCase{"lucastec", {1234, kStable}, LucasTecFour("1.234", "0.000", "1.234"), 1.234},
        AnswerCase{"lucastec", {1, kStable}, LucasTecFour("0.001", "0.000", "0.001"), 0.001},
        AnswerCase{"lucastec", {0, kStable}, LucasTecFour("0.000", "0.000", "0.000"), 0},
        AnswerCase{
            "lucastec", {999999, kStable}, LucasTecFour("999.999", "0.000", "999.999"), 999.999},
        // Beyond the range: no weight.
        AnswerCase{"lucastec", {1000000, kStable}, kLucasTecDashes, 0},
        AnswerCase{"lucastec", {-1234, kStable}, LucasTecFour("0.000", "1.234", "-1.234"), -2},
        AnswerCase{
            "lucastec", {INT64_MIN, kStable}, LucasTecFour("0.000", "999.999", "-999.999"), -2},
        AnswerCase{"lucastec", {1234, kNegative}, LucasTecFour("0.000", "1.234", "-1.234"), -2},
        AnswerCase{"lucastec", {0, kNegative}, LucasTecFour("0.000", "0.001", "-0.001"), -2},
        AnswerCase{
            "lucastec",
            {1234, kUnstable},
            LucasTecLine("1.234", "0.000", "1.234") + LucasTecLine("1.235", "0.000", "1.235") +
                LucasTecLine("1.236", "0.000", "1.236") + LucasTecLine("1.237", "0.000", "1.237"),
            -1},
        AnswerCase{"lucastec",
                   {999999, kUnstable},
                   LucasTecLine("999.995", "0.000", "999.995") +
                       LucasTecLine("999.996", "0.000", "999.996") +
                       LucasTecLine("999.997", "0.000", "999.997") +
                       LucasTecLine("999.998", "0.000", "999.998"),
                   -1},
        // No overload form.
        AnswerCase{"lucastec", {1234, kOverload}, kLucasTecDashes, 0}));

INSTANTIATE_TEST_SUITE_P(
    Magna, ProtocolAnswerTest,
    ::testing::Values(AnswerCase{"magna", {1234, kStable}, "PESO 1.234 kg\r\n", 1.234},
                      AnswerCase{"magna", {1, kStable}, "PESO 0.001 kg\r\n", 0.001},
                      AnswerCase{"magna", {0, kStable}, "PESO 0.000 kg\r\n", 0},
                      AnswerCase{"magna", {999999, kStable}, "PESO 999.999 kg\r\n", 999.999},
                      AnswerCase{"magna", {1000000, kStable}, "PESO SOBRECARGA\r\n", 0},
                      AnswerCase{"magna", {-1234, kStable}, "PESO NEGATIVO\r\n", -2},
                      AnswerCase{"magna", {INT64_MIN, kStable}, "PESO NEGATIVO\r\n", -2},
                      AnswerCase{"magna", {1234, kNegative}, "PESO NEGATIVO\r\n", -2},
                      // No unstable or overload form: both read as no weight.
                      AnswerCase{"magna", {1234, kUnstable}, "PESO INSTAVEL\r\n", 0},
                      AnswerCase{"magna", {1234, kOverload}, "PESO SOBRECARGA\r\n", 0}));

INSTANTIATE_TEST_SUITE_P(
    Digitron, ProtocolAnswerTest,
    ::testing::Values(AnswerCase{"digitron", {12340, kStable}, Framed("001234"), 12.34},  // 0.01
                      AnswerCase{"digitron", {1234, kStable}, Framed("01.234"), 1.234},   // kg
                      AnswerCase{"digitron", {1, kStable}, Framed("00.001"), 0.001},
                      AnswerCase{"digitron", {0, kStable}, Framed("000000"), 0},
                      AnswerCase{"digitron", {99999, kStable}, Framed("99.999"), 99.999},
                      // Not exact in either form.
                      AnswerCase{"digitron", {100001, kStable}, Framed("SSSSSS"), -10},
                      AnswerCase{"digitron", {9999990, kStable}, Framed("999999"), 9999.99},
                      AnswerCase{"digitron", {10000000, kStable}, Framed("SSSSSS"), -10},
                      AnswerCase{"digitron", {-1234, kStable}, Framed("NNNNNN"), -2},
                      AnswerCase{"digitron", {INT64_MIN, kStable}, Framed("NNNNNN"), -2},
                      AnswerCase{"digitron", {1234, kUnstable}, Framed("IIIIII"), -1},
                      AnswerCase{"digitron", {1234, kNegative}, Framed("NNNNNN"), -2},
                      AnswerCase{"digitron", {1234, kOverload}, Framed("SSSSSS"), -10}));

struct RequestCase {
  std::string protocol;
  Bytes received;
  size_t length;  // of the complete request at the front; 0 for none
  bool begins;
};

void PrintTo(const RequestCase& c, std::ostream* out) {
  *out << c.protocol << " " << ::testing::PrintToString(c.received);
}

class ProtocolRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(ProtocolRequestTest, FindsTheRequestAtTheFrontOnly) {
  const RequestCase& c = GetParam();
  const auto protocol = MakeScaleProtocol(c.protocol);
  ASSERT_NE(protocol, nullptr);
  EXPECT_EQ(protocol->RequestLength(c.received), c.length);
  EXPECT_EQ(protocol->BeginsRequest(c.received), c.begins);
}

// The models asked with ENQ, each against the same bytes.
std::vector<RequestCase> EnqRequests() {
  std::vector<RequestCase> cases;
  for (const char* name : {"filizola", "toledo", "toledo2180", "urano", "lucastec", "digitron"}) {
    for (const RequestCase& c :
         {RequestCase{"", "\x05", 1, true}, RequestCase{"", "\x05\x05", 1, true},
          RequestCase{"", "\x05garbage", 1, true}, RequestCase{"", "", 0, false},
          RequestCase{"", "P", 0, false}, RequestCase{"", "`", 0, false},
          RequestCase{"", "x\x05", 0, false}, RequestCase{"", Bytes(1, '\0'), 0, false}}) {
      cases.push_back({name, c.received, c.length, c.begins});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Enq, ProtocolRequestTest, ::testing::ValuesIn(EnqRequests()));

INSTANTIATE_TEST_SUITE_P(
    Magna, ProtocolRequestTest,
    ::testing::Values(RequestCase{"magna", "P", 1, true}, RequestCase{"magna", "PP", 1, true},
                      RequestCase{"magna", "", 0, false}, RequestCase{"magna", "\x05", 0, false},
                      RequestCase{"magna", "p", 0, false}, RequestCase{"magna", "xP", 0, false}));

TEST(ProtocolNamesTest, EachModelIsMadeByItsNameInAnyLetterCase) {
  const std::vector<std::pair<std::string, std::string>> names{
      {"Filizola", "filizola"}, {"Toledo", "toledo"},     {"TOLEDO2180", "toledo2180"},
      {"Urano", "urano"},       {"LucasTec", "lucastec"}, {"MAGNA", "magna"},
      {"Digitron", "digitron"}};
  for (const auto& [given, name] : names) {
    const auto protocol = MakeScaleProtocol(given);
    ASSERT_NE(protocol, nullptr) << given;
    EXPECT_EQ(protocol->Name(), name);
  }
  EXPECT_EQ(MakeScaleProtocol("balança"), nullptr);
}

}  // namespace
}  // namespace trv::tools
