// Faults of the line and of the far end, against the scripted far end of tests/support/SerialPeer
// (natively a pseudo-terminal found through a link path, under Wine the same pseudo-terminal seen
// as a COM port; TRAVINEL_TEST_PORT names it): a far end that hangs up in the middle of a
// reception, a device that vanishes while open, garbage and endless bytes without a terminator
// on every driver, a second process that opens the port in use, and a long burst of answers
// while the scale component monitors the line. Memory is compared with generous margins only:
// what is checked is that it stays bounded, never how fast anything runs.
//
// The program has its own main: run as `fault_tests --open-port PORT` it only opens the port
// once and exits with the outcome's code, which is how a second process is stood up.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h: the process memory counters.
#include <psapi.h>
#else
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/Pseudoterminal.h"
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "PtyTestSupport.h"
#include "device/TrvDevice.h"
#include "platform/Timer.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "serial/TrvSerial.h"
#include "testing/Wine.h"

namespace trv {
namespace {

using ptytest::Hex;
using ptytest::MillisecondsSince;
using ptytest::Pause;
using ptytest::Steady;

constexpr size_t kMegabyte = 1024 * 1024;
// How far memory may rise during one faulty reading, or over a long burst of readings. A line
// buffer that gathers without bound passes this within a fraction of a second of flooding.
constexpr size_t kMemoryMargin = 16 * kMegabyte;

// The program itself, for the second process.
std::string programPath;

// The most a reception cut by the far end may last. Natively the hang-up ends it at once, well
// before its time-out; Wine's serial port does not report the hang-up of a pseudo-terminal, so
// there the reception runs into its time-out (and still ends with an error).
long long CutReceptionBound(int nativeMs, int timeoutMs) {
  return platform::RunningUnderWine() ? timeoutMs + 1500 : nativeMs;
}

// ---- Memory of this process ------------------------------------------------------------------

struct MemorySample {
  size_t current = 0;  // bytes in use now
  size_t peak = 0;     // the most in use since the peak was last reset
};

#ifdef _WIN32
MemorySample SampleMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  MemorySample sample;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    sample.current = counters.WorkingSetSize;
    sample.peak = counters.PeakWorkingSetSize;
  }
  return sample;
}

// Windows keeps the peak for the process's whole life.
void ResetPeak() {}
#else
// VmRSS and VmHWM of /proc/self/status, in bytes.
MemorySample SampleMemory() {
  std::ifstream status("/proc/self/status");
  MemorySample sample;
  for (std::string line; std::getline(status, line);) {
    // "VmRSS:\t    1234 kB"
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    if (key != "VmRSS" && key != "VmHWM") continue;
    const size_t bytes = std::strtoull(line.c_str() + colon + 1, nullptr, 10) * 1024;
    (key == "VmRSS" ? sample.current : sample.peak) = bytes;
  }
  return sample;
}

// Writing 5 to clear_refs starts the peak (VmHWM) afresh from the current size.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
#endif

// How much memory rose at most since `before` (taken right after ResetPeak). Where the peak
// cannot be reset, an earlier higher peak makes this an overestimate, never an underestimate.
size_t PeakGrowth(const MemorySample& before) {
  const MemorySample after = SampleMemory();
  const size_t peak = std::max(after.peak, after.current);
  return peak > before.current ? peak - before.current : 0;
}

// ---- A second process ------------------------------------------------------------------------

// What `fault_tests --open-port PORT` does: opens the port once, closes it, and exits with the
// outcome's code (0 opened; 255 for codes that do not fit an exit status).
int OpenPortOnce(const std::string& port) {
  TTrvSerial serial;
  serial.Connect(port);
  const int code = serial.LastError();
  std::printf("open %s: %d %s\n", port.c_str(), code, serial.LastErrorDesc().c_str());
  serial.CloseSocket();
  return code >= 0 && code < 255 ? code : 255;
}

// Runs this program as a second process that opens the port; its exit code, -1 when it did not
// end normally.
int OpenPortInAnotherProcess(const std::string& port) {
  const std::string command = "\"" + programPath + "\" --open-port \"" + port + "\"";
  std::fflush(stdout);
  const int status = std::system(command.c_str());
#ifdef _WIN32
  return status;
#else
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// ---- The line and the far end ----------------------------------------------------------------

class FaultLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = ptytest::TestPort();
    if (port_.empty()) GTEST_SKIP() << ptytest::kNoPeer;
  }

  void Open(TTrvSerial& serial) { ptytest::OpenTestLine(serial, port_); }

  // Hands the far end command lines and returns once it has taken them: the lines go after a
  // SINK 0, whose "OK" proves that the peer read what was written with it. Until then a purge of
  // the line (every reading starts with one) could still discard them. The leading line end
  // closes whatever requests a reading left on the line, which the peer then ignores.
  static void Sync(TTrvSerial& serial, const std::string& commands) {
    const bool raising = serial.RaiseExcept();
    serial.SetRaiseExcept(false);
    serial.Purge();
    serial.SendString("\nSINK 0\n" + commands + "\n");
    const Bytes reply = serial.RecvTerminated(3000, "\n");
    const int error = serial.LastError();
    serial.SetRaiseExcept(raising);
    ASSERT_EQ(error, 0) << commands << ": " << TTrvSerial::GetErrorDesc(error);
    ASSERT_EQ(reply, "OK") << commands;
  }

  // Reads and drops what the far end still sends, until the line stays quiet for 300 ms (at
  // most 15 s): a flood that ends leaves the line as a test found it.
  static void Drain(TTrvSerial& serial) {
    const bool raising = serial.RaiseExcept();
    serial.SetRaiseExcept(false);
    const auto start = Steady::now();
    while (MillisecondsSince(start) < 15000) {
      serial.RecvPacket(300);
      if (serial.LastError() != 0) break;
    }
    serial.SetRaiseExcept(raising);
  }

  // A scale component of the model on the test port, active.
  std::unique_ptr<TTrvBAL> ActiveScale(uint8_t model) {
    auto scale = std::make_unique<TTrvBAL>(nullptr);
    scale->SetPorta(port_);
    scale->SetModelo(model);
    scale->Ativar();
    return scale;
  }

  // Waits until the port opens again (a device that comes back), for at most 10 s; its code.
  // The wait is on the serial class itself: while a link path that stands for the port is
  // missing, the scale component would not even take the name for a serial port.
  int WaitForPort() {
    TTrvSerial serial;
    const auto start = Steady::now();
    do {
      Pause(100);
      serial.Connect(port_);
    } while (serial.LastError() != 0 && MillisecondsSince(start) < 10000);
    const int code = serial.LastError();
    serial.CloseSocket();
    return code;
  }

  std::string port_;
};

// ---- The far end hangs up during a reception -------------------------------------------------

enum class Reception { Packet, TerminatedPerPacket, TerminatedOverall, Buffer, Byte };

void PrintTo(Reception r, std::ostream* out) {
  static const char* const kNames[] = {"RecvPacket", "RecvTerminated per packet",
                                       "RecvTerminated overall", "RecvBufferEx", "RecvByte"};
  *out << kNames[static_cast<int>(r)];
}

constexpr int kReceptionTimeout = 2000;

// Runs one reception with a 2 s time-out.
void Receive(TTrvSerial& serial, Reception reception) {
  constexpr int kTimeout = kReceptionTimeout;
  char buffer[64] = {};
  switch (reception) {
    case Reception::Packet:
      serial.RecvPacket(kTimeout);
      break;
    case Reception::TerminatedPerPacket:
      serial.SetInterPacketTimeout(true);
      serial.RecvTerminated(kTimeout, "\r");
      break;
    case Reception::TerminatedOverall:
      serial.SetInterPacketTimeout(false);
      serial.RecvTerminated(kTimeout, "\r");
      break;
    case Reception::Buffer:
      serial.RecvBufferEx(buffer, sizeof buffer, kTimeout);
      break;
    case Reception::Byte:
      serial.RecvByte(kTimeout);
      break;
  }
}

class SerialHangUpFaultTest : public FaultLineTest,
                              public ::testing::WithParamInterface<Reception> {};

TEST_P(SerialHangUpFaultTest, TheReceptionEndsWithAnErrorAndTheLineOpensAgain) {
  TTrvSerial serial;
  ASSERT_NO_FATAL_FAILURE(Open(serial));
  // The receptions that gather get a few bytes without a terminator first; then the line hangs
  // up in the middle of the reception.
  const bool gathers = GetParam() != Reception::Packet && GetParam() != Reception::Byte;
  const std::string start = gathers ? "SEND " + Hex("AB") + "\n" : "";
  ASSERT_NO_FATAL_FAILURE(Sync(serial, start + "HANGUP 300"));
  const auto receiving = Steady::now();
  Receive(serial, GetParam());
  const long long elapsed = MillisecondsSince(receiving);
  EXPECT_NE(serial.LastError(), 0);
  EXPECT_NE(serial.LastError(), serial_error::kTimeout) << "the hang-up must not pass for silence";
  // It ends at the hang-up, not when its time-out runs out.
  EXPECT_LT(elapsed, CutReceptionBound(1500, kReceptionTimeout));

  serial.CloseSocket();
  EXPECT_FALSE(serial.InstanceActive());
  ASSERT_NO_FATAL_FAILURE(Open(serial));
  ASSERT_NO_FATAL_FAILURE(Sync(serial, "SEND " + Hex("again\r")));
  serial.SetInterPacketTimeout(true);
  EXPECT_EQ(serial.RecvTerminated(2000, "\r"), "again");
  EXPECT_EQ(serial.LastError(), 0) << serial.LastErrorDesc();
  serial.CloseSocket();
}

INSTANTIATE_TEST_SUITE_P(Receptions, SerialHangUpFaultTest,
                         ::testing::Values(Reception::Packet, Reception::TerminatedPerPacket,
                                           Reception::TerminatedOverall, Reception::Buffer,
                                           Reception::Byte));

// ---- Every scale model -------------------------------------------------------------------------

struct ScaleModel {
  const char* name;
  uint8_t model;
  bool asksAgain;  // asks until a weight or the deadline (Filizola, Magna)
};

void PrintTo(const ScaleModel& m, std::ostream* out) {
  *out << m.name;
}

const ScaleModel kModels[] = {
    {"Filizola", balFilizola, true},      {"Toledo", balToledo, false},
    {"Toledo2180", balToledo2180, false}, {"Urano", balUrano, false},
    {"LucasTec", balLucasTec, false},     {"Magna", balMagna, true},
    {"Digitron", balDigitron, false},
};

// One reading that may raise: the weight, or nothing when it raised.
struct Reading {
  double weight = 0;
  bool raised = false;
  std::string failure;
  long long elapsedMs = 0;
};

Reading ReadWeight(TTrvBAL& scale, int timeout) {
  Reading reading;
  const auto start = Steady::now();
  try {
    reading.weight = scale.LePeso(timeout);
  } catch (const std::exception& e) {
    reading.raised = true;
    reading.failure = e.what();
  }
  reading.elapsedMs = MillisecondsSince(start);
  return reading;
}

class ScaleHangUpFaultTest : public FaultLineTest,
                             public ::testing::WithParamInterface<ScaleModel> {};

TEST_P(ScaleHangUpFaultTest, AReadingCutByAHangUpGivesMinusNine) {
  const ScaleModel& m = GetParam();
  std::unique_ptr<TTrvBAL> scale = ActiveScale(m.model);
  // The reception starts 200 ms after the request; the line drops 300 ms later.
  ASSERT_NO_FATAL_FAILURE(Sync(*scale->Device().Serial, "HANGUP 500"));
  const Reading reading = ReadWeight(*scale, 3000);
  // The reception's failure is the read-failure code. A driver that asks again meets the dead
  // port while it discards and sends, and that failure of the port is raised.
  EXPECT_DOUBLE_EQ(scale->UltimoPesoLido(), -9);
  if (m.asksAgain) {
    if (!reading.raised) {
      EXPECT_DOUBLE_EQ(reading.weight, -9);
    }
  } else {
    EXPECT_FALSE(reading.raised) << reading.failure;
    EXPECT_DOUBLE_EQ(reading.weight, -9);
  }
  EXPECT_LT(reading.elapsedMs, CutReceptionBound(2500, 3000))
      << "the reading must end at the hang-up";
}

INSTANTIATE_TEST_SUITE_P(Models, ScaleHangUpFaultTest, ::testing::ValuesIn(kModels));

// A model whose answer the peer can play, and the weight it stands for.
struct KnownAnswer {
  ScaleModel scale;
  Bytes answer;
  double weight;
};

void PrintTo(const KnownAnswer& k, std::ostream* out) {
  *out << k.scale.name;
}

// A request-driven (RecvPacket) and a line-driven (RecvTerminated) driver.
const KnownAnswer kKnownAnswers[] = {
    {kModels[0],
     "\x02"
     "001234\x03",
     1.234},
    {kModels[2], "`001234\r`001234\r`001234\r`001234\r`001234\r", 123.4},
};

class ScaleRecoveryFaultTest : public FaultLineTest,
                               public ::testing::WithParamInterface<KnownAnswer> {
 protected:
  // A reading whose answer the far end sends 400 ms after taking the command: after the
  // reading's purge and request, within its reception.
  Reading ReadAnswered(TTrvBAL& scale) {
    const KnownAnswer& k = GetParam();
    Sync(*scale.Device().Serial, "LATE 400 " + Hex(k.answer));
    return ReadWeight(scale, 3000);
  }
};

TEST_P(ScaleRecoveryFaultTest, AfterAHangUpANewActivationReadsAgain) {
  std::unique_ptr<TTrvBAL> scale = ActiveScale(GetParam().scale.model);
  ASSERT_NO_FATAL_FAILURE(Sync(*scale->Device().Serial, "HANGUP 500"));
  ReadWeight(*scale, 3000);
  EXPECT_DOUBLE_EQ(scale->UltimoPesoLido(), -9);

  // The peer's new line is already up at the same link path.
  scale->Desativar();
  ASSERT_EQ(WaitForPort(), 0);
  scale->Ativar();
  const Reading reading = ReadAnswered(*scale);
  EXPECT_FALSE(reading.raised) << reading.failure;
  EXPECT_DOUBLE_EQ(reading.weight, GetParam().weight);
}

TEST_P(ScaleRecoveryFaultTest, ADeviceThatVanishesWhileOpenGivesMinusNineAndComesBack) {
  std::unique_ptr<TTrvBAL> scale = ActiveScale(GetParam().scale.model);
  // The device goes 500 ms after the command, in the middle of the reading, for 1.5 s.
  ASSERT_NO_FATAL_FAILURE(Sync(*scale->Device().Serial, "UNPLUG 500 1500"));
  const Reading cut = ReadWeight(*scale, 3000);
  EXPECT_DOUBLE_EQ(scale->UltimoPesoLido(), -9);
  if (!cut.raised) {
    EXPECT_DOUBLE_EQ(cut.weight, -9);
  }
  EXPECT_LT(cut.elapsedMs, CutReceptionBound(2500, 3000))
      << "the reading must end when the device goes";

  // Deactivating closes the dead port, though its link path is gone; once the device is back,
  // a new activation reads again.
  scale->Desativar();
  EXPECT_FALSE(scale->Device().Serial->InstanceActive());
  ASSERT_EQ(WaitForPort(), 0);
  scale->Ativar();
  const Reading reading = ReadAnswered(*scale);
  EXPECT_FALSE(reading.raised) << reading.failure;
  EXPECT_DOUBLE_EQ(reading.weight, GetParam().weight);
}

INSTANTIATE_TEST_SUITE_P(Models, ScaleRecoveryFaultTest, ::testing::ValuesIn(kKnownAnswers));

TEST_F(FaultLineTest, ADeviceThatVanishesEndsTheReceptionAndItsPathIsMissing) {
  TTrvSerial serial;
  ASSERT_NO_FATAL_FAILURE(Open(serial));
  // Gone from 300 ms to 2.8 s: the reception ends within that time natively and under Wine.
  ASSERT_NO_FATAL_FAILURE(Sync(serial, "UNPLUG 300 2500"));
  const auto start = Steady::now();
  serial.RecvPacket(1000);
  EXPECT_NE(serial.LastError(), 0);
  EXPECT_LT(MillisecondsSince(start), CutReceptionBound(900, 1000));
  serial.CloseSocket();

  TTrvSerial absent;
  absent.Connect(port_);
  EXPECT_EQ(absent.LastError(), 2) << absent.LastErrorDesc();
  EXPECT_FALSE(absent.InstanceActive());

  // Back once the device returns: opens and carries bytes again.
  ASSERT_EQ(WaitForPort(), 0);
  ASSERT_NO_FATAL_FAILURE(Open(serial));
  ASSERT_NO_FATAL_FAILURE(Sync(serial, "SEND " + Hex("back\r")));
  EXPECT_EQ(serial.RecvTerminated(2000, "\r"), "back");
  serial.CloseSocket();
}

// ---- Garbage and endless bytes -----------------------------------------------------------------

// Bytes that no driver can take for a weight or a line: no digit, sign or decimal mark, and none
// of the terminators CR, LF and ETX.
const Bytes kGarbage = "\xA5Z garbage without an end \xFF\x80~\x01qwerty#";

class GarbageFaultTest : public FaultLineTest, public ::testing::WithParamInterface<ScaleModel> {};

TEST_P(GarbageFaultTest, EndlessBytesWithoutATerminatorKeepMemoryBounded) {
  std::unique_ptr<TTrvBAL> scale = ActiveScale(GetParam().model);
  TTrvSerial& serial = *scale->Device().Serial;
  // The flood lasts 3 s, far beyond the reading with its 1 s time-out.
  ASSERT_NO_FATAL_FAILURE(Sync(serial, "FLOOD 3000 " + Hex(kGarbage)));
  ResetPeak();
  const MemorySample before = SampleMemory();
  const Reading reading = ReadWeight(*scale, 1000);
  const size_t growth = PeakGrowth(before);
  Drain(serial);

  EXPECT_LT(growth, kMemoryMargin) << "memory rose by " << growth / kMegabyte << " MB";
  EXPECT_FALSE(reading.raised) << reading.failure;
  EXPECT_LE(reading.weight, 0) << "garbage read as a weight";
  EXPECT_LT(reading.elapsedMs, 2500) << "the reading must end while the bytes still come";

  // The line is usable again once the flood is over.
  ASSERT_NO_FATAL_FAILURE(Sync(serial, "SEND " + Hex("ok\r")));
  EXPECT_EQ(serial.RecvTerminated(2000, "\r"), "ok");
}

TEST_P(GarbageFaultTest, EveryByteValueIsReadWithoutHarm) {
  std::unique_ptr<TTrvBAL> scale = ActiveScale(GetParam().model);
  // The peer's pattern holds every byte value, terminators included, in 8 KB.
  ASSERT_NO_FATAL_FAILURE(
      Sync(*scale->Device().Serial, "LATE 300 " + Hex(kGarbage) + "\nSTREAM 8192"));
  const Reading reading = ReadWeight(*scale, 1000);
  EXPECT_FALSE(reading.raised) << reading.failure;
  EXPECT_LT(reading.elapsedMs, 3000);
  Drain(*scale->Device().Serial);
}

INSTANTIATE_TEST_SUITE_P(Models, GarbageFaultTest, ::testing::ValuesIn(kModels));

// ---- A second process opens the port ---------------------------------------------------------

TEST_F(FaultLineTest, ASecondProcessIsRefusedWithTheBusyCodeAndTheFirstKeepsReading) {
  if (platform::RunningUnderWine()) GTEST_SKIP() << "Wine lets a COM port be opened twice";
  std::unique_ptr<TTrvBAL> scale = ActiveScale(balFilizola);
  const int code = OpenPortInAnotherProcess(port_);
  EXPECT_NE(code, 0) << "the second process opened the port in use";
  EXPECT_NE(code, 2) << "a port in use must not pass for a missing one";
  EXPECT_NE(code, -1) << "the second process did not end normally";
#ifndef _WIN32
  EXPECT_EQ(code, EBUSY);
#endif
  // The first keeps reading.
  ASSERT_NO_FATAL_FAILURE(Sync(*scale->Device().Serial, "LATE 400 " + Hex("\x02"
                                                                          "002500\x03")));
  const Reading reading = ReadWeight(*scale, 3000);
  EXPECT_FALSE(reading.raised) << reading.failure;
  EXPECT_DOUBLE_EQ(reading.weight, 2.5);
}

// ---- What the owner and the line are left with -----------------------------------------------

TEST_F(FaultLineTest, AnOwnerTakesItsDeviceAndTheDevicesPortWithIt) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* device = new TTrvDevice(owner.get());  // freed by its owner, not here
  device->SetPorta(port_);
  device->Ativar();
  ASSERT_TRUE(device->Serial->InstanceActive());
  owner.reset();
  // Natively a port still open would refuse this with the busy code.
  TTrvSerial again;
  again.Connect(port_);
  EXPECT_EQ(again.LastError(), 0) << TTrvSerial::GetErrorDesc(again.LastError());
}

#ifndef _WIN32
// Every byte that a send cut by its deadlock time-out counts reaches the far end, and no more.
TEST(SendTimeOutTest, ACutSendCountsExactlyWhatTheFarEndReceives) {
  tools::Pseudoterminal line;
  ASSERT_TRUE(line.Open()) << line.Error();
  TTrvSerial serial;
  serial.Connect(line.SlavePath());
  ASSERT_EQ(serial.LastError(), 0) << serial.LastErrorDesc();
  serial.SetDeadlockTimeout(300);
  // Nobody reads the far end while the send runs, so the terminal's queues fill and it stalls.
  const Bytes block(kMegabyte, 'x');
  const int sent = serial.SendBuffer(block.data(), static_cast<int>(block.size()));
  EXPECT_EQ(serial.LastError(), 9997);
  ASSERT_GT(sent, 0);
  ASSERT_LT(static_cast<size_t>(sent), block.size());

  size_t received = 0;
  char chunk[65536];
  pollfd entry{line.MasterFd(), POLLIN, 0};
  while (::poll(&entry, 1, 300) == 1) {
    const ssize_t n = ::read(line.MasterFd(), chunk, sizeof chunk);
    if (n <= 0) break;
    received += static_cast<size_t>(n);
  }
  EXPECT_EQ(received, static_cast<size_t>(sent));
}
#endif

// ---- A long burst of unsolicited answers while monitoring ----------------------------------

// A scale component that times each monitoring tick that delivered a reading.
class TimedScale : public TTrvBAL {
 public:
  TimedScale() : TTrvBAL(nullptr) {}
  void MonitorarTimer(TTimer& sender) override {
    const size_t before = readings;
    const auto start = Steady::now();
    TTrvBAL::MonitorarTimer(sender);
    if (readings == before) return;
    tickUs.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - start).count());
  }

  size_t readings = 0;            // counted by the weight event's handler
  std::vector<long long> tickUs;  // the duration of each tick that delivered a reading
};

TEST_F(FaultLineTest, TenThousandUnsolicitedAnswersWhileMonitoringGrowNothing) {
  constexpr size_t kAnswers = 10000;
  constexpr size_t kWarmUp = 1000;  // memory and tick times are compared from here on
  const Bytes answer =
      "\x02"
      "001234\x03";
  platform::TimerQueue queue;
  platform::ScopedTimerService service(queue);
  TimedScale scale;
  scale.SetPorta(port_);
  scale.SetModelo(balFilizola);
  scale.SetIntervalo(1);
  scale.SetMonitorarBalanca(true);
  scale.Ativar();

  size_t answers = 0;
  size_t wrongWeights = 0;
  MemorySample warm;
  scale.tickUs.reserve(kAnswers);
  scale.OnLePeso = [&](double weight, const Bytes& received) {
    ++scale.readings;
    // A tick may take two answers that arrived together; each counts.
    answers += static_cast<size_t>(std::count(received.begin(), received.end(), '\x02'));
    if (weight != 1.234) ++wrongWeights;
    if (answers >= kWarmUp && warm.current == 0) warm = SampleMemory();
  };
  ASSERT_NO_FATAL_FAILURE(
      Sync(*scale.Device().Serial, "REPEAT " + std::to_string(kAnswers) + " 1 " + Hex(answer)));
  const auto start = Steady::now();
  while (answers < kAnswers && MillisecondsSince(start) < 90000) queue.RunFor(20);
  const MemorySample end = SampleMemory();
  scale.Desativar();

  EXPECT_EQ(answers, kAnswers) << scale.readings << " readings";
  EXPECT_EQ(wrongWeights, 0u);
  ASSERT_GT(warm.current, 0u);
  const size_t growth = end.current > warm.current ? end.current - warm.current : 0;
  EXPECT_LT(growth, kMemoryMargin) << "memory rose by " << growth / kMegabyte << " MB";

  // The time a reading takes does not grow: the mean tick of the last tenth against that of
  // the first tenth after the warm-up, with a generous factor.
  const std::vector<long long>& tickUs = scale.tickUs;
  ASSERT_GE(tickUs.size(), 20u);
  const size_t tenth = tickUs.size() / 10;
  auto mean = [&](size_t from) {
    long long sum = 0;
    for (size_t i = from; i < from + tenth; ++i) sum += tickUs[i];
    return sum / static_cast<long long>(tenth);
  };
  const long long early = mean(tenth);
  const long long late = mean(tickUs.size() - tenth);
  EXPECT_LT(late, 4 * early + 2000) << "mean tick " << early << " us early, " << late << " us late";
}

}  // namespace
}  // namespace trv

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--open-port") return trv::OpenPortOnce(argv[2]);
  trv::programPath = argv[0];
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
