// serial_rows: the serial class's rows of serial_peers, measured through the platform's own
// port against the test far end (tests/support serial_peer) in another process, so that the
// same program measures the Linux back end natively and the Win32 back end under Wine (the
// peer's pseudo-terminal linked into the prefix as COM7). With no peer library to compare, it
// prints the figures alone. The far end answers commands sent on the line, so the latency rows
// are "request written -> answer read": the far end's turn included, no cross-process clock.
//   with-peer serial_peer LINK -- serial_rows            (natively; TRAVINEL_TEST_PORT=LINK)
// Asserts nothing about time: machines differ.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProcessCpu.h"
#include "serial/TrvSerial.h"

namespace {

using trv::bench::ProcessCpuMilliseconds;

using Steady = std::chrono::steady_clock;

constexpr int kRounds = 1000;
constexpr int kSilentWaitMs = 2000;
constexpr int kBulkBytes = 1 << 20;
// The answer of the latency rows: 19 bytes, as a scale's line.
const char kAnswerHex[] = "02202020312e3233346b67202020200d0a0d03";
const char kRoundTripHex[] = "0102030405060708";

double MillisecondsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

struct Spread {
  double median = 0;
  double p99 = 0;
  int failures = 0;
};

// Sends the command, then collects `length` bytes; times each round.
Spread Exchanges(trv::TTrvSerial& serial, const std::string& command, size_t length) {
  std::vector<double> times;
  Spread spread;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Steady::now();
    serial.SendString(command);
    const trv::Bytes answer = serial.RecvBufferStr(static_cast<int>(length), 2000);
    const double elapsed = MillisecondsSince(start);
    if (answer.size() != length) {
      ++spread.failures;
      continue;
    }
    times.push_back(elapsed * 1000.0);
  }
  if (times.empty()) return spread;
  std::sort(times.begin(), times.end());
  spread.median = times[times.size() / 2];
  spread.p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
  return spread;
}

double SilentCpuPercent(trv::TTrvSerial& serial) {
  serial.SendString("SILENT\n");
  const auto start = Steady::now();
  const double cpuStart = ProcessCpuMilliseconds();
  serial.RecvPacket(kSilentWaitMs);
  const double cpu = ProcessCpuMilliseconds() - cpuStart;
  return 100.0 * cpu / MillisecondsSince(start);
}

double Throughput(trv::TTrvSerial& serial, bool& intact) {
  std::string received(kBulkBytes, '\0');
  const auto start = Steady::now();
  serial.SendString("STREAM " + std::to_string(kBulkBytes) + "\n");
  const int count = serial.RecvBufferEx(received.data(), kBulkBytes, 5000);
  const double seconds = MillisecondsSince(start) / 1e3;
  intact = count == kBulkBytes;
  for (int i = 0; intact && i < kBulkBytes; ++i) {
    intact = received[static_cast<size_t>(i)] == static_cast<char>((i * 7 + 3) % 256);
  }
  return count / 1e6 / seconds;
}

}  // namespace

int main() {
  const char* port = std::getenv("TRAVINEL_TEST_PORT");
  if (port == nullptr) {
    std::fprintf(stderr, "serial_rows: run it through tests/support/with-peer\n");
    return 2;
  }
  trv::TTrvSerial serial;
  long long reads = 0;
  serial.SetOnStatus([&reads](trv::TTrvSerial*, trv::THookSerialReason reason, const std::string&) {
    if (reason == trv::HR_ReadCount) ++reads;
  });
  serial.Connect(port);
  if (serial.LastError() == 0) serial.Config(9600, 8, 'N', 0, false, false);
  if (serial.LastError() != 0) {
    std::fprintf(stderr, "serial_rows: %s: %s\n", port, serial.LastErrorDesc().c_str());
    return 1;
  }
  const Spread latency = Exchanges(serial, std::string("SEND ") + kAnswerHex + "\n", 19);
  const Spread roundTrip = Exchanges(serial, std::string("SEND ") + kRoundTripHex + "\n", 8);
  const double silent = SilentCpuPercent(serial);
  std::vector<double> rates;
  const long long readsBeforeBulk = reads;
  bool intact = true;
  for (int run = 0; run < 5; ++run) {
    bool ok = false;
    rates.push_back(Throughput(serial, ok));
    intact = intact && ok;
  }
  const double readsPerMiB = double(reads - readsBeforeBulk) / 5.0;
  std::sort(rates.begin(), rates.end());

  std::printf("serial_rows: %s, %d rounds each, against serial_peer\n\n", port, kRounds);
  std::printf("  %-46s %12s\n", "row", "ours");
  std::printf("  %-46s %9.1f us\n", "request -> 19-byte answer read, median", latency.median);
  std::printf("  %-46s %9.1f us\n", "request -> 19-byte answer read, p99", latency.p99);
  std::printf("  %-46s %10.4f %%\n", "CPU of a 2 s silent wait (% of wall)", silent);
  std::printf("  %-46s %7.1f MB/s\n", "throughput of 1 MiB (median of 5)", rates[2]);
  std::printf("  %-46s %9.1f us\n", "round trip: request -> 8-byte answer, median",
              roundTrip.median);
  std::printf("  %-46s %9.1f us\n", "round trip: request -> 8-byte answer, p99", roundTrip.p99);
  std::printf("\n  platform reads per MiB of bulk reception: %.0f\n", readsPerMiB);
  const int failures = latency.failures + roundTrip.failures + (intact ? 0 : 1);
  if (failures != 0) std::printf("  %d exchanges failed or came back wrong\n", failures);
  return failures == 0 ? 0 : 1;
}
