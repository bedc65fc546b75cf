// serial_latency: how quickly and how cheaply the serial class receives on a real tty. A
// pseudo-terminal stands in for the scale; a thread of this program writes its master side, and
// the serial class reads the slave side through the system's port. Prints its figures next to
// the goals and asserts nothing about time: machines differ.

#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FarEndWrite.h"
#include "FigureTable.h"
#include "serial/TrvSerial.h"
#include "testing/Pseudoterminal.h"

namespace {

using trv::bench::Format;
using trv::bench::WriteAll;

// How long the far end waits for room to write: well beyond any reader's time-out.
std::chrono::steady_clock::time_point Patience() {
  return std::chrono::steady_clock::now() + std::chrono::seconds(10);
}

using Steady = std::chrono::steady_clock;

constexpr int kRounds = 2000;
constexpr int kSilentWaitMs = 2000;
constexpr size_t kBulkBytes = 1 << 20;
const std::string kAnswer = "ST,GS,+0012.345kg\r\n";

double MillisecondsBetween(Steady::time_point from, Steady::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Milliseconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// User and system time of the calling thread.
double ThreadCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
}

// One round at a time: the reader announces that it is about to wait, the far end gives it a
// moment to get into its wait, notes the time and writes the answer.
class FarEnd {
 public:
  explicit FarEnd(int master) : master_(master) {}

  void Serve(int rounds) {
    for (int round = 0; round < rounds; ++round) {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return waiting_; });
      waiting_ = false;
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      written_ = Steady::now();
      WriteAll(master_, kAnswer.data(), kAnswer.size(), Patience());
    }
  }

  void ReaderWaits() {
    std::lock_guard lock(mutex_);
    waiting_ = true;
    ready_.notify_one();
  }

  // Read after the answer arrived, so it holds the time of this round's write.
  Steady::time_point Written() const { return written_.load(); }

 private:
  int master_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool waiting_ = false;
  std::atomic<Steady::time_point> written_{};
};

struct Latency {
  double median = 0;
  double p99 = 0;
  int failures = 0;
};

Latency MeasureLatency(trv::TTrvSerial& serial, int master) {
  FarEnd farEnd(master);
  std::thread writer([&] { farEnd.Serve(kRounds); });
  std::vector<double> samples;
  Latency result;
  for (int round = 0; round < kRounds; ++round) {
    farEnd.ReaderWaits();
    trv::Bytes received = serial.RecvPacket(2000);
    while (serial.LastError() == 0 && received.size() < kAnswer.size()) {
      received += serial.RecvPacket(2000);
    }
    const auto arrived = Steady::now();
    if (received != kAnswer) ++result.failures;
    samples.push_back(MillisecondsBetween(farEnd.Written(), arrived));
  }
  writer.join();
  std::sort(samples.begin(), samples.end());
  result.median = samples[samples.size() / 2];
  result.p99 = samples[samples.size() * 99 / 100];
  return result;
}

double MeasureSilentCpuPercent(trv::TTrvSerial& serial) {
  const auto wallStart = Steady::now();
  const double cpuStart = ThreadCpuMilliseconds();
  serial.RecvPacket(kSilentWaitMs);
  const double cpu = ThreadCpuMilliseconds() - cpuStart;
  const double wall = MillisecondsBetween(wallStart, Steady::now());
  return wall > 0 ? 100.0 * cpu / wall : 0;
}

double MeasureThroughput(trv::TTrvSerial& serial, int master, bool& intact) {
  std::string bulk(kBulkBytes, '\0');
  for (size_t i = 0; i < bulk.size(); ++i) bulk[i] = static_cast<char>((i * 7 + 3) % 256);
  std::string received(kBulkBytes, '\0');
  const auto start = Steady::now();
  std::thread writer([&] { WriteAll(master, bulk.data(), bulk.size(), Patience()); });
  const int count = serial.RecvBufferEx(received.data(), static_cast<int>(kBulkBytes), 2000);
  const double seconds = MillisecondsBetween(start, Steady::now()) / 1e3;
  writer.join();
  intact = count == static_cast<int>(kBulkBytes) && received == bulk;
  return static_cast<double>(kBulkBytes) / 1e6 / seconds;
}

void PrintRow(const char* figure, const std::string& value, const char* goal, const char* met) {
  trv::bench::PrintFigureRow(40, figure, value, goal, met);
}

}  // namespace

int main() {
  trv::tools::Pseudoterminal line;
  if (!line.Open()) {
    std::perror("serial_latency: openpty");
    return 1;
  }
  trv::TTrvSerial serial;
  serial.Connect(line.SlavePath());
  serial.Config(9600, 8, 'N', 0, false, false);
  if (serial.LastError() != 0) {
    std::fprintf(stderr, "serial_latency: %s: %s\n", line.SlavePath().c_str(),
                 serial.LastErrorDesc().c_str());
    return 1;
  }
  const Latency latency = MeasureLatency(serial, line.MasterFd());
  const double cpuPercent = MeasureSilentCpuPercent(serial);
  bool intact = false;
  const double throughput = MeasureThroughput(serial, line.MasterFd(), intact);

  std::printf("serial_latency on %s (%d rounds of %zu bytes)\n\n", line.SlavePath().c_str(),
              kRounds, kAnswer.size());
  PrintRow("figure", "measured", "goal", "met");
  PrintRow("answer latency, median", Format("%.3f ms", latency.median), "< 1 ms",
           latency.median < 1.0 ? "yes" : "no");
  PrintRow("answer latency, 99th percentile", Format("%.3f ms", latency.p99), "", "");
  PrintRow("CPU while waiting 2 s on a silent line", Format("%.3f %%", cpuPercent), "< 1 %",
           cpuPercent < 1.0 ? "yes" : "no");
  PrintRow("throughput of 1 MiB through RecvBufferEx", Format("%.1f MB/s", throughput), "", "");
  if (latency.failures != 0 || !intact) {
    std::printf("\n  data errors: %d answers wrong, bulk %s\n", latency.failures,
                intact ? "intact" : "damaged");
    return 1;
  }
  return 0;
}
