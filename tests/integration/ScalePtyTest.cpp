// The scale component with the Filizola driver on a real serial line, against the scale
// simulator (tools/simulator): natively pseudo-terminals found through link paths, under Wine
// the same pseudo-terminals seen as COM ports. TRAVINEL_TEST_PORT names the scale's port,
// TRAVINEL_CONTROL_PORT the simulator's control port, through which each test sets what the
// scale shows and how it answers. Only the project's classes, the standard library and
// GoogleTest are used here, so the same source builds for Windows.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "PtyTestSupport.h"
#include "platform/Locale.h"
#include "platform/Timer.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "serial/TrvSerial.h"

namespace trv {
namespace {

using ptytest::Environment;
using ptytest::MillisecondsSince;
using ptytest::Steady;

// The time-out of every reading: the driver asks again until it has a weight or this passed.
constexpr int kReadTimeout = 2000;
// Requests within one time-out: each one waits 200 ms for its answer, so a time-out of
// 2000 ms asks about ten times; fewer than this would mean that the driver gave up early.
constexpr uint64_t kSeveralRequests = 5;

constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';

// STX, the field, ETX: a Filizola answer.
Bytes Framed(const std::string& field) {
  return kStx + field + kEtx;
}

// One reading: its result, the requests the simulated scale received for it, how long it took
// and the answer the component kept.
struct Reading {
  double weight;
  uint64_t requests;
  long long elapsedMs;
  Bytes answer;
};

class ScaleLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scalePort_ = Environment("TRAVINEL_TEST_PORT");
    controlPort_ = Environment("TRAVINEL_CONTROL_PORT");
    if (scalePort_.empty() || controlPort_.empty()) {
      GTEST_SKIP() << "TRAVINEL_TEST_PORT and TRAVINEL_CONTROL_PORT are not set; run this "
                      "program through tests/support/with-simulator (ctest does)";
    }
    control_.SetRaiseExcept(true);
    control_.Connect(controlPort_);
    control_.Config(9600, 8, 'N', 0, false, false);
    Command("RESET");
  }

  void TearDown() override {
    if (!control_.InstanceActive()) return;
    Command("RESET");
    control_.SetRaiseExcept(false);
    control_.CloseSocket();
  }

  // Sends one command of the simulator's control language and waits for its "OK".
  void Command(const std::string& line) { EXPECT_EQ(Query(line), "OK") << line; }

  std::string Query(const std::string& line) {
    control_.SendString(line + "\n");
    return control_.RecvTerminated(2000, "\n");
  }

  // The requests the simulated scale received so far.
  uint64_t Requests() {
    const std::string reply = Query("REQUESTS");
    EXPECT_EQ(reply.rfind("OK ", 0), 0u) << reply;
    return reply.size() > 3 ? std::strtoull(reply.c_str() + 3, nullptr, 10) : 0;
  }

  // A scale component of the model (Filizola unless told) on the test port, not active yet.
  std::unique_ptr<TTrvBAL> NewScale(uint8_t model = balFilizola) {
    auto scale = std::make_unique<TTrvBAL>(nullptr);
    scale->SetPorta(scalePort_);
    scale->SetModelo(model);
    return scale;
  }

  // Reads once with the scale and counts the requests that took.
  Reading Read(TTrvBAL& scale) {
    const uint64_t before = Requests();
    const auto start = Steady::now();
    Reading reading{};
    reading.weight = scale.LePeso(kReadTimeout);
    reading.elapsedMs = MillisecondsSince(start);
    reading.requests = Requests() - before;
    reading.answer = scale.UltimaResposta();
    return reading;
  }

  // Activates a new Filizola scale and reads once.
  Reading ReadOnce() {
    std::unique_ptr<TTrvBAL> scale = NewScale();
    scale->Ativar();
    return Read(*scale);
  }

  // A silent scale: the one reception waits for what is left of the time-out after the
  // request, so one request or, at the edge of the time-out, two.
  static void ExpectOneReceptionUntilTheTimeout(const Reading& reading) {
    EXPECT_GE(reading.elapsedMs, kReadTimeout - 50);
    EXPECT_LT(reading.elapsedMs, kReadTimeout + 1000);
    EXPECT_GE(reading.requests, 1u);
    EXPECT_LE(reading.requests, 2u);
  }

  std::string scalePort_;
  std::string controlPort_;
  TTrvSerial control_;
};

// ---- Weights, with either decimal separator -----------------------------------------------

struct WeightCase {
  int grams;
  double kilograms;
  char separator;
};

void PrintTo(const WeightCase& c, std::ostream* out) {
  *out << c.grams << " g, separator '" << c.separator << "'";
}

class ScaleWeightTest : public ScaleLineTest, public ::testing::WithParamInterface<WeightCase> {};

TEST_P(ScaleWeightTest, ReadsTheWeightInKilograms) {
  const WeightCase& c = GetParam();
  platform::ScopedDecimalSeparator separator(c.separator);
  Command("WEIGHT " + std::to_string(c.grams));
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, c.kilograms);
  EXPECT_EQ(r.requests, 1u);
}

INSTANTIATE_TEST_SUITE_P(Weights, ScaleWeightTest,
                         ::testing::Values(WeightCase{1234, 1.234, ','},
                                           WeightCase{1234, 1.234, '.'}, WeightCase{1, 0.001, ','},
                                           WeightCase{1, 0.001, '.'},
                                           WeightCase{999999, 999.999, ','},
                                           WeightCase{999999, 999.999, '.'}));

TEST_F(ScaleLineTest, KeepsTheAnswerAndRaisesOnLePeso) {
  Command("WEIGHT 2500");
  std::unique_ptr<TTrvBAL> scale = NewScale();
  std::vector<double> events;
  scale->OnLePeso = [&](double weight, const Bytes& /*answer*/) { events.push_back(weight); };
  scale->Ativar();
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), 2.5);
  EXPECT_EQ(scale->UltimaResposta(), Framed("002500"));
  EXPECT_DOUBLE_EQ(scale->UltimoPesoLido(), 2.5);
  EXPECT_EQ(events, std::vector<double>{2.5});
}

// ---- Readings without a weight --------------------------------------------------------------

TEST_F(ScaleLineTest, UnstableUntilTheDeadlineGivesMinusOneAfterSeveralRequests) {
  Command("WEIGHT 1234");
  Command("STATE unstable");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, -1);
  EXPECT_GE(r.requests, kSeveralRequests);
  EXPECT_GE(r.elapsedMs, kReadTimeout - 50);
}

TEST_F(ScaleLineTest, NegativeRepeatsUntilTheDeadlineAndGivesMinusTwo) {
  Command("STATE negative");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, -2);
  EXPECT_GE(r.requests, kSeveralRequests);
  EXPECT_GE(r.elapsedMs, kReadTimeout - 50);
}

TEST_F(ScaleLineTest, OverloadGivesMinusTen) {
  Command("STATE overload");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, -10);
  EXPECT_GE(r.requests, kSeveralRequests);
}

TEST_F(ScaleLineTest, AWeightAboveTheRangeIsAnOverload) {
  Command("WEIGHT 1000000");
  EXPECT_DOUBLE_EQ(ReadOnce().weight, -10);
}

TEST_F(ScaleLineTest, TwoUnstableAnswersThenTheWeightOnTheThirdRequest) {
  Command("WEIGHT 1234");
  Command("UNSTABLE 2");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, 1.234);
  EXPECT_EQ(r.requests, 3u);
}

TEST_F(ScaleLineTest, SilentScaleGivesMinusNineAfterTheTimeout) {
  Command("SILENT on");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, -9);
  ExpectOneReceptionUntilTheTimeout(r);
}

// ---- Answer timing --------------------------------------------------------------------------

TEST_F(ScaleLineTest, AnAnswerSplitWithinThePauseAfterTheRequestArrivesWhole) {
  // The driver waits 200 ms after each request before it reads: halves 50 ms apart are both
  // there by then.
  Command("WEIGHT 1234");
  Command("SPLIT 50");
  EXPECT_DOUBLE_EQ(ReadOnce().weight, 1.234);
}

TEST_F(ScaleLineTest, AnAnswerSplitBeyondThePauseIsReadByItsFirstHalf) {
  // The first half, STX "001", arrives alone; the driver reads what is there and takes "001"
  // as a weight in thousandths of a kilogram: 0.001, a positive weight, so it stops asking.
  // The rest, "234" ETX, comes later and stays on the line.
  Command("WEIGHT 1234");
  Command("SPLIT 500");
  std::unique_ptr<TTrvBAL> scale = NewScale();
  scale->Ativar();
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), 0.001);
  EXPECT_EQ(scale->UltimaResposta(), kStx + Bytes("001"));
  EXPECT_EQ(scale->Device().Serial->RecvTerminated(2000, "\x03"), "234");
}

TEST_F(ScaleLineTest, ADelayedAnswerWithinTheTimeoutGivesTheWeight) {
  Command("WEIGHT 1234");
  Command("DELAY 500");
  const Reading r = ReadOnce();
  EXPECT_DOUBLE_EQ(r.weight, 1.234);
  EXPECT_EQ(r.requests, 1u);
  EXPECT_GE(r.elapsedMs, 500);
}

// ---- Monitoring and the active state ------------------------------------------------------

TEST_F(ScaleLineTest, MonitoringDeliversWhatTheScaleSendsByItself) {
  platform::TimerQueue queue;
  platform::ScopedTimerService service(queue);
  std::unique_ptr<TTrvBAL> scale = NewScale();
  std::vector<double> weights;
  scale->OnLePeso = [&](double weight, const Bytes& /*answer*/) { weights.push_back(weight); };
  scale->SetMonitorarBalanca(true);
  Command("WEIGHT 1234");
  scale->Ativar();
  // What earlier tests left on the line is not this scale's.
  scale->Device().Serial->Purge();
  Command("UNSOLICITED 100");
  queue.RunFor(1000);
  scale->Desativar();
  EXPECT_GE(weights.size(), 3u);
  for (const double weight : weights) EXPECT_DOUBLE_EQ(weight, 1.234);
}

TEST_F(ScaleLineTest, LePesoOnAnInactiveScaleOpensAndClosesThePort) {
  Command("WEIGHT 1234");
  std::unique_ptr<TTrvBAL> scale = NewScale();
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), 1.234);
  EXPECT_FALSE(scale->Ativo());
  EXPECT_FALSE(scale->Device().Serial->InstanceActive());
  // The port is free again: another client opens it.
  TTrvSerial other;
  other.Connect(scalePort_);
  EXPECT_EQ(other.LastError(), 0) << other.LastErrorDesc();
  other.CloseSocket();
  // And the component reads again the same way.
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), 1.234);
  EXPECT_FALSE(scale->Ativo());
}

TEST_F(ScaleLineTest, LePesoOnAnActiveScaleLeavesItActive) {
  Command("WEIGHT 42");
  std::unique_ptr<TTrvBAL> scale = NewScale();
  scale->Ativar();
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), 0.042);
  EXPECT_TRUE(scale->Ativo());
  EXPECT_TRUE(scale->Device().Serial->InstanceActive());
}

// ---- Toledo, Toledo 2180 and Urano -----------------------------------------------------------
// These ask once per reading (no repetition), so every answer, weight or code, is the result of
// one request.

// A scale model and the simulator protocol that answers for it.
struct ProtocolModel {
  const char* protocol;
  uint8_t model;
};

void PrintTo(const ProtocolModel& p, std::ostream* out) {
  *out << p.protocol;
}

constexpr ProtocolModel kToledo{"toledo", balToledo};
constexpr ProtocolModel kToledo2180{"toledo2180", balToledo2180};
constexpr ProtocolModel kUrano{"urano", balUrano};

class SingleRequestLineTest : public ScaleLineTest {
 protected:
  // An active scale component of the model, with the simulator speaking its protocol.
  std::unique_ptr<TTrvBAL> ActiveScale(const ProtocolModel& p) {
    Command(std::string("PROTOCOL ") + p.protocol);
    std::unique_ptr<TTrvBAL> scale = NewScale(p.model);
    scale->Ativar();
    return scale;
  }

  // Reads once with a new active scale of the model.
  Reading ReadOnceWith(const ProtocolModel& p) { return Read(*ActiveScale(p)); }
};

// What the scale shows (simulator commands) and what the driver reads from its answer.
struct ProtocolReadingCase {
  ProtocolModel scale;
  const char* weight;
  const char* state;
  char separator;
  double expected;
};

void PrintTo(const ProtocolReadingCase& c, std::ostream* out) {
  *out << c.scale.protocol << " " << c.weight << " g " << c.state << ", separator '" << c.separator
       << "'";
}

class ProtocolReadingTest : public SingleRequestLineTest,
                            public ::testing::WithParamInterface<ProtocolReadingCase> {};

TEST_P(ProtocolReadingTest, OneRequestGivesTheWeightOrCode) {
  const ProtocolReadingCase& c = GetParam();
  platform::ScopedDecimalSeparator separator(c.separator);
  Command(std::string("WEIGHT ") + c.weight);
  Command(std::string("STATE ") + c.state);
  const Reading r = ReadOnceWith(c.scale);
  EXPECT_DOUBLE_EQ(r.weight, c.expected) << "answer " << ptytest::Hex(r.answer);
  EXPECT_EQ(r.requests, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, ProtocolReadingTest,
    ::testing::Values(
        // Toledo: grams, and a status letter for each state.
        ProtocolReadingCase{kToledo, "1234", "stable", ',', 1.234},
        ProtocolReadingCase{kToledo, "1234", "stable", '.', 1.234},
        ProtocolReadingCase{kToledo, "999999", "stable", ',', 999.999},
        ProtocolReadingCase{kToledo, "0", "stable", ',', 0},
        ProtocolReadingCase{kToledo, "1234", "unstable", ',', -1},
        ProtocolReadingCase{kToledo, "1234", "negative", ',', -2},
        ProtocolReadingCase{kToledo, "1234", "overload", ',', -10},
        // Toledo 2180: tenths of a kilogram in five lines; unstable lines disagree, a negative
        // weight carries a sign, an overload shows no number.
        ProtocolReadingCase{kToledo2180, "123400", "stable", ',', 123.4},
        ProtocolReadingCase{kToledo2180, "123400", "stable", '.', 123.4},
        ProtocolReadingCase{kToledo2180, "0", "stable", ',', 0},
        ProtocolReadingCase{kToledo2180, "123400", "unstable", ',', -1},
        ProtocolReadingCase{kToledo2180, "123400", "negative", ',', -2},
        ProtocolReadingCase{kToledo2180, "123400", "overload", ',', 0},
        // Urano: kilograms with a comma; no overload form.
        ProtocolReadingCase{kUrano, "1234", "stable", ',', 1.234},
        ProtocolReadingCase{kUrano, "1234", "stable", '.', 1.234},
        ProtocolReadingCase{kUrano, "150000", "stable", ',', 150},
        ProtocolReadingCase{kUrano, "1234", "unstable", ',', -1},
        ProtocolReadingCase{kUrano, "1234", "negative", ',', -2},
        ProtocolReadingCase{kUrano, "-1234", "stable", ',', -2},
        ProtocolReadingCase{kUrano, "1234", "overload", ',', 0}));

class ProtocolSilenceTest : public SingleRequestLineTest,
                            public ::testing::WithParamInterface<ProtocolModel> {};

TEST_P(ProtocolSilenceTest, ASilentScaleGivesMinusNineAfterThePauseAndTheTimeout) {
  Command("SILENT on");
  const Reading r = ReadOnceWith(GetParam());
  EXPECT_DOUBLE_EQ(r.weight, -9);
  EXPECT_EQ(r.requests, 1u);
  EXPECT_GE(r.elapsedMs, 200 + kReadTimeout - 50);
  EXPECT_LT(r.elapsedMs, 200 + kReadTimeout + 1000);
}

INSTANTIATE_TEST_SUITE_P(Protocols, ProtocolSilenceTest,
                         ::testing::Values(kToledo, kToledo2180, kUrano));

// An answer in two halves: within the pause after the request both halves are there; beyond
// it the drivers that take one delivery read the first half alone, while Toledo 2180 waits for
// the rest of its lines.
struct ProtocolSplitCase {
  ProtocolModel scale;
  int splitMs;
  double expected;
  Bytes answer;  // the raw answer the driver keeps
};

void PrintTo(const ProtocolSplitCase& c, std::ostream* out) {
  *out << c.scale.protocol << " split " << c.splitMs << " ms";
}

class ProtocolSplitTest : public SingleRequestLineTest,
                          public ::testing::WithParamInterface<ProtocolSplitCase> {};

TEST_P(ProtocolSplitTest, ReadsWhatHasArrived) {
  const ProtocolSplitCase& c = GetParam();
  Command(std::string("WEIGHT ") + (c.scale.model == balToledo2180 ? "123400" : "1234"));
  Command("SPLIT " + std::to_string(c.splitMs));
  std::unique_ptr<TTrvBAL> scale = ActiveScale(c.scale);
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), c.expected);
  EXPECT_EQ(scale->UltimaResposta(), c.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Halves, ProtocolSplitTest,
    ::testing::Values(ProtocolSplitCase{kToledo, 50, 1.234, Framed("001234")},
                      // STX "001" alone: 0.001 kg.
                      ProtocolSplitCase{kToledo, 500, 0.001, kStx + Bytes("001")},
                      ProtocolSplitCase{kToledo2180, 50, 123.4, "`001234"},
                      // Two and a half lines, then the rest: the line in the middle is joined.
                      ProtocolSplitCase{kToledo2180, 500, 123.4, "`001234"},
                      ProtocolSplitCase{kUrano, 50, 1.234, "E PESO: 1,234kg"},
                      // "E PESO:" alone holds no unit: no weight field.
                      ProtocolSplitCase{kUrano, 500, -9, "E PESO:"}));

// ---- The other frames real scales send ---------------------------------------------------------
// The simulator sends each frame kind (streams from the middle of one frame to the middle of
// another; with a split, cut once more between two packets) and the driver reads the reading.

struct FrameReadingCase {
  ProtocolModel scale;
  const char* frame;
  const char* weight;
  const char* state;
  int splitMs;
  double expected;
};

void PrintTo(const FrameReadingCase& c, std::ostream* out) {
  *out << c.scale.protocol << " " << c.frame << " " << c.weight << " g " << c.state << ", split "
       << c.splitMs << " ms";
}

class FrameReadingTest : public SingleRequestLineTest,
                         public ::testing::WithParamInterface<FrameReadingCase> {};

TEST_P(FrameReadingTest, TheDriverReadsTheFrame) {
  const FrameReadingCase& c = GetParam();
  Command(std::string("WEIGHT ") + c.weight);
  Command(std::string("STATE ") + c.state);
  Command("SPLIT " + std::to_string(c.splitMs));
  std::unique_ptr<TTrvBAL> scale = ActiveScale(c.scale);
  Command(std::string("FRAME ") + c.frame);
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), c.expected)
      << "answer " << ptytest::Hex(scale->UltimaResposta());
}

constexpr ProtocolModel kFilizolaFrames{"filizola", balFilizola};
constexpr ProtocolModel kDigitronFrames{"digitron", balDigitron};

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameReadingTest,
    ::testing::Values(FrameReadingCase{kFilizolaFrames, "signed", "-500", "stable", 0, -2},
                      FrameReadingCase{kToledo, "long", "-500", "stable", 0, -2},
                      FrameReadingCase{kToledo, "long", "500", "stable", 0, 0.5},
                      FrameReadingCase{kToledo, "prt2", "1234", "stable", 0, 1.234},
                      FrameReadingCase{kToledo, "prt2", "-500", "stable", 0, -2},
                      // Beyond the pause: the first packet ends in the second frame.
                      FrameReadingCase{kToledo, "prt2", "1234", "stable", 500, 1.234},
                      FrameReadingCase{kToledo, "prt4", "1234", "stable", 0, 1.234},
                      FrameReadingCase{kToledo, "standard", "1234", "stable", 0, 1.234},
                      FrameReadingCase{kToledo, "standard", "1234", "unstable", 0, -1},
                      FrameReadingCase{kToledo, "standard", "1234", "negative", 0, -2},
                      FrameReadingCase{kToledo, "standard", "1234", "overload", 0, -10},
                      FrameReadingCase{kToledo, "standard", "1234", "stable", 500, 1.234},
                      FrameReadingCase{kToledo, "standard-short", "1234", "stable", 0, 1.234},
                      // Five frames from two packets: the lines are joined.
                      FrameReadingCase{kToledo2180, "standard", "1234", "stable", 500, 1.234},
                      FrameReadingCase{kToledo2180, "standard", "1234", "unstable", 0, -1},
                      FrameReadingCase{kDigitronFrames, "stream", "12340", "stable", 0, 12.34},
                      FrameReadingCase{kDigitronFrames, "stream", "12340", "stable", 500, 12.34}));

// ---- LucasTec, Magna and Digitron --------------------------------------------------------
// LucasTec and Digitron ask once per reading; Magna asks with "P" until it has a weight or the
// time-out passed, like Filizola.

constexpr ProtocolModel kLucasTec{"lucastec", balLucasTec};
constexpr ProtocolModel kMagna{"magna", balMagna};
constexpr ProtocolModel kDigitron{"digitron", balDigitron};

// The last of LucasTec's four lines, which the driver keeps as the answer.
const Bytes kLucasTecLine = "B 1.234 kg B T 0.000 kg T L 1.234 kg L";
// Magna's texts for a negative and an unread weight (Windows-1252: 0xE3 is the a-tilde).
const Bytes kMagnaNegative = "Peso Negativo ";
const Bytes kMagnaNotRead = "Peso N\xE3o Lido ";

INSTANTIATE_TEST_SUITE_P(
    LucasTecAndDigitronReadings, ProtocolReadingTest,
    ::testing::Values(
        // LucasTec: four labelled lines; unstable lines disagree, a negative weight is a tare
        // over a zero gross, an overload shows dashes (no weight).
        ProtocolReadingCase{kLucasTec, "1234", "stable", ',', 1.234},
        ProtocolReadingCase{kLucasTec, "1234", "stable", '.', 1.234},
        ProtocolReadingCase{kLucasTec, "999999", "stable", ',', 999.999},
        ProtocolReadingCase{kLucasTec, "0", "stable", ',', 0},
        ProtocolReadingCase{kLucasTec, "1234", "unstable", ',', -1},
        ProtocolReadingCase{kLucasTec, "1234", "negative", ',', -2},
        ProtocolReadingCase{kLucasTec, "-1234", "stable", ',', -2},
        ProtocolReadingCase{kLucasTec, "1234", "overload", ',', 0},
        // Digitron: hundredths of a kilogram, or kilograms with a mark; a letter per state.
        ProtocolReadingCase{kDigitron, "12340", "stable", ',', 12.34},
        ProtocolReadingCase{kDigitron, "12340", "stable", '.', 12.34},
        ProtocolReadingCase{kDigitron, "1234", "stable", ',', 1.234},
        ProtocolReadingCase{kDigitron, "1234", "stable", '.', 1.234},
        ProtocolReadingCase{kDigitron, "0", "stable", ',', 0},
        ProtocolReadingCase{kDigitron, "1234", "unstable", ',', -1},
        ProtocolReadingCase{kDigitron, "1234", "negative", ',', -2},
        ProtocolReadingCase{kDigitron, "1234", "overload", ',', -10}));

INSTANTIATE_TEST_SUITE_P(LucasTecAndDigitron, ProtocolSilenceTest,
                         ::testing::Values(kLucasTec, kDigitron));

INSTANTIATE_TEST_SUITE_P(
    LucasTecMagnaAndDigitronHalves, ProtocolSplitTest,
    ::testing::Values(ProtocolSplitCase{kLucasTec, 50, 1.234, kLucasTecLine},
                      // Two lines, then two more: each line waits for its CR.
                      ProtocolSplitCase{kLucasTec, 500, 1.234, kLucasTecLine},
                      ProtocolSplitCase{kMagna, 50, 1.234, "PESO 1.234 kg\r"},
                      ProtocolSplitCase{kDigitron, 50, 1.234, Framed("01.234")},
                      // STX "01." alone: 1 kg.
                      ProtocolSplitCase{kDigitron, 500, 1, kStx + Bytes("01.")}));

TEST_F(SingleRequestLineTest, LucasTecKeepsTheTimeOutMessageOfASilentScale) {
  Command("SILENT on");
  std::unique_ptr<TTrvBAL> scale = ActiveScale(kLucasTec);
  EXPECT_DOUBLE_EQ(scale->LePeso(kReadTimeout), -9);
  EXPECT_EQ(scale->UltimaResposta(), "Communication error 9997: Timeout during operation");
}

// Magna's weights and texts, with either decimal separator where there is a number.
struct MagnaCase {
  const char* weight;
  const char* state;
  char separator;
  double expected;
  Bytes answer;  // what the driver keeps: the line, or one of its texts
  bool asksAgain;
};

void PrintTo(const MagnaCase& c, std::ostream* out) {
  *out << c.weight << " g " << c.state << ", separator '" << c.separator << "'";
}

class MagnaReadingTest : public SingleRequestLineTest,
                         public ::testing::WithParamInterface<MagnaCase> {};

TEST_P(MagnaReadingTest, AsksWithPUntilAWeightOrTheDeadline) {
  const MagnaCase& c = GetParam();
  platform::ScopedDecimalSeparator separator(c.separator);
  Command(std::string("WEIGHT ") + c.weight);
  Command(std::string("STATE ") + c.state);
  const Reading r = ReadOnceWith(kMagna);
  EXPECT_DOUBLE_EQ(r.weight, c.expected);
  EXPECT_EQ(r.answer, c.answer);
  if (c.asksAgain) {
    EXPECT_GE(r.requests, kSeveralRequests);
  } else {
    EXPECT_EQ(r.requests, 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, MagnaReadingTest,
    ::testing::Values(MagnaCase{"1234", "stable", ',', 1.234, "PESO 1.234 kg\r", false},
                      MagnaCase{"1234", "stable", '.', 1.234, "PESO 1.234 kg\r", false},
                      MagnaCase{"999999", "stable", ',', 999.999, "PESO 999.999 kg\r", false},
                      MagnaCase{"1234", "negative", ',', -2, kMagnaNegative, true},
                      MagnaCase{"-1234", "stable", ',', -2, kMagnaNegative, true},
                      // No unstable or overload form: the answers read as no weight.
                      MagnaCase{"1234", "unstable", ',', 0, "PESO INSTAVEL\r", true},
                      MagnaCase{"1234", "overload", ',', 0, "PESO SOBRECARGA\r", true},
                      MagnaCase{"0", "stable", ',', 0, "PESO 0.000 kg\r", true}));

TEST_F(SingleRequestLineTest, MagnaReadsTheWeightOnTheThirdRequestAfterTwoUnstableAnswers) {
  Command("WEIGHT 1234");
  Command("UNSTABLE 2");
  const Reading r = ReadOnceWith(kMagna);
  EXPECT_DOUBLE_EQ(r.weight, 1.234);
  EXPECT_EQ(r.requests, 3u);
}

TEST_F(SingleRequestLineTest, MagnaSilentScaleIsNotReadAfterTheTimeout) {
  Command("SILENT on");
  const Reading r = ReadOnceWith(kMagna);
  EXPECT_DOUBLE_EQ(r.weight, -9);
  EXPECT_EQ(r.answer, kMagnaNotRead);
  ExpectOneReceptionUntilTheTimeout(r);
}

TEST_F(SingleRequestLineTest, MagnaAnswersSplitBeforeTheirLfAreNotRead) {
  // Every request gets its first half at once and the rest only after the time-out: no
  // attempt sees an LF.
  Command("WEIGHT 1234");
  Command("SPLIT 2500");
  const Reading r = ReadOnceWith(kMagna);
  EXPECT_DOUBLE_EQ(r.weight, -9);
  EXPECT_EQ(r.answer, kMagnaNotRead);
  EXPECT_GE(r.requests, kSeveralRequests);
}

}  // namespace
}  // namespace trv
