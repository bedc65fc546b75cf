// scale_reading: what reading a scale costs beyond the scale protocol itself. Two figures:
//   - one LePeso of the Filizola driver against the scale simulator, repeated: its time beyond
//     the protocol's fixed 200 ms pause between request and reception (median, 99th
//     percentile);
//   - idle monitoring: a scale component active with MonitorarBalanca and Intervalo 200 on a
//     silent line, its timer run by a TimerQueue for a minute; the process's CPU time in that
//     minute, scaled to an hour. Then the same with every tick run (the queue's skipping of idle
//     ticks turned off), for the cost of one tick that finds nothing waiting.
// Natively the program brings its own simulator (on a pseudo-terminal) and its own silent line.
// With TRAVINEL_TEST_PORT and TRAVINEL_CONTROL_PORT set (under Wine: COM7 and COM8 linked to
// the native travinel-simulator by tests/support/with-simulator) it uses that simulator, and the
// scale's port, which the simulator leaves silent unless asked, for the idle minute.
//   scale_reading [--readings N] [--idle-seconds S]
// Prints its figures next to the goals and asserts nothing about time: machines differ.

#ifdef _WIN32
#include <windows.h>
#else
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "LocalSimulator.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FigureTable.h"
#include "ProcessCpu.h"
#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/Timer.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "serial/TrvSerial.h"

namespace {

using trv::bench::Format;
using trv::bench::ProcessCpuMilliseconds;

using Steady = std::chrono::steady_clock;

constexpr int kAnswerPauseMs = 200;  // the Filizola driver's wait between request and reception
constexpr int kReadTimeoutMs = 2000;
constexpr int kMonitorIntervalMs = 200;
constexpr int64_t kGrams = 1234;
constexpr double kKilograms = 1.234;

double MillisecondsBetween(Steady::time_point from, Steady::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Sets the external simulator's weight through its control port.
bool SetSimulatedWeight(const std::string& controlPort, std::string& error) {
  trv::TTrvSerial control;
  control.Connect(controlPort);
  if (control.LastError() == 0) control.Config(9600, 8, 'N', 0, false, false);
  if (control.LastError() == 0) control.SendString("WEIGHT " + std::to_string(kGrams) + "\n");
  const std::string reply = control.LastError() == 0 ? control.RecvTerminated(2000, "\n") : "";
  if (reply == "OK") return true;
  error = controlPort + ": " + (reply.empty() ? control.LastErrorDesc() : reply);
  return false;
}

#ifndef _WIN32
// A pseudo-terminal with nobody at the far end: a silent line.
class SilentLine {
 public:
  bool Open() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return false;
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
    path_ = name;
    return true;
  }
  ~SilentLine() {
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }
  const std::string& Port() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};
#endif

struct Reading {
  double median = 0;
  double p99 = 0;
  int failures = 0;
  std::string firstFailure;
};

Reading MeasureReadings(const std::string& port, int readings) {
  Reading result;
  trv::TTrvBAL scale(nullptr);
  scale.SetPorta(port);
  scale.SetModelo(trv::balFilizola);
  std::vector<double> beyond;
  try {
    scale.Ativar();
    for (int i = 0; i < readings; ++i) {
      const auto start = Steady::now();
      const double weight = scale.LePeso(kReadTimeoutMs);
      const double elapsed = MillisecondsBetween(start, Steady::now());
      if (weight != kKilograms) {
        if (result.failures++ == 0) result.firstFailure = "weight " + std::to_string(weight);
        continue;
      }
      beyond.push_back(elapsed - kAnswerPauseMs);
    }
  } catch (const std::exception& e) {
    ++result.failures;
    result.firstFailure = e.what();
  }
  if (beyond.empty()) return result;
  std::sort(beyond.begin(), beyond.end());
  result.median = beyond[beyond.size() / 2];
  result.p99 = beyond[std::min(beyond.size() - 1, beyond.size() * 99 / 100)];
  return result;
}

// Counts the monitoring timer's ticks.
class CountingScale final : public trv::TTrvBAL {
 public:
  CountingScale() : TTrvBAL(nullptr) {}
  void MonitorarTimer(trv::TTimer& sender) override {
    ++ticks;
    TTrvBAL::MonitorarTimer(sender);
  }
  int ticks = 0;
};

struct Idle {
  double cpuMs = 0;
  double wallMs = 0;
  int ticks = 0;
  std::string failure;
};

Idle MeasureIdle(const std::string& port, int seconds, bool skipIdleTicks) {
  Idle result;
  trv::platform::TimerQueue queue;
  queue.SetSkipIdleTicks(skipIdleTicks);
  trv::platform::ScopedTimerService service(queue);
  CountingScale scale;
  try {
    scale.SetPorta(port);
    scale.SetModelo(trv::balFilizola);
    scale.SetIntervalo(kMonitorIntervalMs);
    scale.SetMonitorarBalanca(true);
    scale.Ativar();
  } catch (const std::exception& e) {
    result.failure = e.what();
    return result;
  }
  const auto wallStart = Steady::now();
  const double cpuStart = ProcessCpuMilliseconds();
  queue.RunFor(static_cast<uint64_t>(seconds) * 1000);
  result.cpuMs = ProcessCpuMilliseconds() - cpuStart;
  result.wallMs = MillisecondsBetween(wallStart, Steady::now());
  result.ticks = scale.ticks;
  return result;
}

// The floor under idle monitoring on this machine: a loop that only sleeps 200 ms at a time,
// waking as often as the monitoring does, with nothing to do. Its cost is the system's
// (scheduler, timers; on a virtual machine, tens of microseconds a wake-up).
double BareWakeCpuMilliseconds(int wakes) {
  trv::platform::Clock& system = trv::platform::CurrentClock();
  const double cpuStart = ProcessCpuMilliseconds();
  for (int i = 0; i < wakes; ++i) system.Sleep(kMonitorIntervalMs);
  return ProcessCpuMilliseconds() - cpuStart;
}

void PrintRow(const char* figure, const std::string& value, const char* goal, const char* met) {
  trv::bench::PrintFigureRow(48, figure, value, goal, met);
}

int PositiveArgument(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::max(1, std::atoi(argv[i + 1]));
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int readings = std::min(PositiveArgument(argc, argv, "--readings", 50), 1000);
  const int idleSeconds = std::min(PositiveArgument(argc, argv, "--idle-seconds", 60), 600);
  std::string scalePort = Environment("TRAVINEL_TEST_PORT");
  const std::string controlPort = Environment("TRAVINEL_CONTROL_PORT");
  std::string error;
  Reading reading;
  std::string idlePort = scalePort;

  if (!scalePort.empty() && !controlPort.empty()) {
    if (!SetSimulatedWeight(controlPort, error)) {
      std::fprintf(stderr, "scale_reading: %s\n", error.c_str());
      return 1;
    }
    reading = MeasureReadings(scalePort, readings);
  } else {
#ifdef _WIN32
    std::fprintf(stderr,
                 "scale_reading: set TRAVINEL_TEST_PORT and TRAVINEL_CONTROL_PORT (run it through "
                 "tests/support/with-simulator)\n");
    return 2;
#else
    trv::bench::LocalSimulator simulator(kGrams);
    if (!simulator.Start(error)) {
      std::fprintf(stderr, "scale_reading: %s\n", error.c_str());
      return 1;
    }
    scalePort = simulator.Port();
    reading = MeasureReadings(scalePort, readings);
#endif
  }

#ifndef _WIN32
  // Natively the idle minute runs on a line of its own, after the simulator's thread ended, so
  // that the process's CPU time is the monitoring's alone.
  SilentLine silent;
  if (controlPort.empty()) {
    if (!silent.Open()) {
      std::perror("scale_reading: openpty");
      return 1;
    }
    idlePort = silent.Port();
  }
#endif
  const Idle idle = MeasureIdle(idlePort, idleSeconds, true);
  const Idle everyTick = MeasureIdle(idlePort, std::max(idleSeconds / 3, 1), false);
  constexpr int kBareWakes = 50;
  const double bareWakeUs = BareWakeCpuMilliseconds(kBareWakes) * 1000.0 / kBareWakes;
  auto perHour = [](const Idle& run) {
    return run.wallMs > 0 ? run.cpuMs * 3600.0 / run.wallMs : 0;
  };
  const double perHourS = perHour(idle);
  // Everything the process spent, the loop's own sleeping and waking included, per tick.
  const double perTickUs = everyTick.ticks > 0 ? everyTick.cpuMs * 1000.0 / everyTick.ticks : 0;

  std::printf("scale_reading: Filizola on %s, %d readings; idle monitoring on %s for %d s\n\n",
              scalePort.c_str(), readings, idlePort.c_str(), idleSeconds);
  PrintRow("figure", "measured", "goal", "met");
  const bool readOk = reading.failures == 0;
  PrintRow("LePeso beyond its 200 ms pause, median", Format("%.3f ms", reading.median), "< 2 ms",
           readOk && reading.median < 2.0 ? "yes" : "no");
  PrintRow("LePeso beyond its 200 ms pause, p99", Format("%.3f ms", reading.p99), "", "");
  PrintRow("idle monitoring every 200 ms: CPU in the run", Format("%.1f ms", idle.cpuMs), "", "");
  PrintRow("idle monitoring every 200 ms: CPU per hour", Format("%.3f s", perHourS), "< 0.5 s",
           idle.failure.empty() && perHourS < 0.5 ? "yes" : "no");
  PrintRow("monitoring ticks that ran (none needed)", Format("%.0f", idle.ticks), "", "");
  PrintRow("with every tick run: CPU per hour", Format("%.3f s", perHour(everyTick)), "", "");
  PrintRow("with every tick run: CPU per tick", Format("%.1f us", perTickUs), "", "");
  PrintRow("  of which a bare 200 ms wake-up of this machine", Format("%.1f us", bareWakeUs), "",
           "");
  int exitCode = 0;
  if (!readOk) {
    std::printf("\n  %d readings failed; the first: %s\n", reading.failures,
                reading.firstFailure.c_str());
    exitCode = 1;
  }
  for (const Idle* run : {&idle, &everyTick}) {
    if (run->failure.empty()) continue;
    std::printf("\n  idle monitoring failed: %s\n", run->failure.c_str());
    exitCode = 1;
  }
  return exitCode;
}
