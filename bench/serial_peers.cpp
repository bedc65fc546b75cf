// serial_peers: our serial class next to two other serial libraries, doing the same work on the
// same kind of line in one run: libserialport (called in this process) and pyserial (in a
// Python child process, bench/pyserial_peer.py, driven over pipes). Each gets a fresh
// pseudo-terminal; a thread of this program is the far end on its master side. The rows:
//   latency     from the far end's write to the return of a blocking read of "whatever
//               arrives" (median, 99th percentile);
//   silent CPU  CPU time of one 2 s read on a silent line, in % of the wall time;
//   throughput  1 MiB streamed by the far end, collected by one read of 1 MiB;
//   round trip  send 1 byte, the far end answers 8 at once, collect the 8 (median, p99).
// Prints each figure and how ours compares with the best peer; asserts nothing about time.

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FarEndWrite.h"
#include "PtyStandIn.h"
#include "platform/Clock.h"
#include "serial/TrvSerial.h"
#include "testing/Pseudoterminal.h"

extern char** environ;

namespace {

using trv::bench::WriteAll;
// A pseudo-terminal: the master (raw, non-blocking) is the far end, the slave the port under
// test; it keeps the slave open too, so the line stays up between a reader's open and close.
using Line = trv::tools::Pseudoterminal;

using Steady = std::chrono::steady_clock;
using Nanoseconds = std::chrono::nanoseconds;

constexpr int kLatencyRounds = 3000;
constexpr int kRoundTripRounds = 10000;
constexpr int kReadTimeoutMs = 2000;
constexpr std::chrono::milliseconds kReadTimeout(kReadTimeoutMs);
constexpr int kSilentWaitMs = 2000;
constexpr size_t kBulkBytes = 1 << 20;
constexpr size_t kAnswerBytes = 8;
// How long the far end waits for the reader at any step before it gives the run up.
constexpr int kFarEndPatienceMs = 5000;
const std::string kLatencyAnswer = "ST,GS,+0012.345kg\r\n";
const std::string kRoundTripAnswer =
    "\x02"
    "012345\x03";  // STX, six digits, ETX: 8 bytes

double Microseconds(Nanoseconds duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

// CPU time of the calling thread, to the nanosecond.
Nanoseconds ThreadCpuTime() {
  timespec time{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return std::chrono::seconds(time.tv_sec) + Nanoseconds(time.tv_nsec);
}

std::string BulkPattern() {
  std::string bulk(kBulkBytes, '\0');
  for (size_t i = 0; i < bulk.size(); ++i) bulk[i] = static_cast<char>((i * 7 + 3) % 256);
  return bulk;
}

// ---- Figures ------------------------------------------------------------------------------

struct Spread {
  double median = 0;  // µs
  double p99 = 0;     // µs
};

Spread SpreadOf(std::vector<double> samples) {
  Spread spread;
  if (samples.empty()) return spread;
  std::sort(samples.begin(), samples.end());
  spread.median = samples[samples.size() / 2];
  spread.p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
  return spread;
}

struct Figures {
  bool available = false;
  std::string note;  // why a column is missing
  Spread latency;
  double silentCpuPercent = 0;
  double throughput = 0;  // MB/s
  Spread roundTrip;
  int dataErrors = 0;
};

// ---- The far end --------------------------------------------------------------------------

// Latency rounds: for each round, waits until the reader says it is about to wait, gives it a
// moment to get into its read, notes the time and writes the answer. Returns the write moments.
std::vector<Steady::time_point> ServeLatency(int master, int rounds,
                                             const std::function<bool()>& awaitReader) {
  std::vector<Steady::time_point> written;
  written.reserve(static_cast<size_t>(rounds));
  for (int round = 0; round < rounds; ++round) {
    if (!awaitReader()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    written.push_back(Steady::now());
    const auto deadline = Steady::now() + std::chrono::milliseconds(kFarEndPatienceMs);
    if (!WriteAll(master, kLatencyAnswer.data(), kLatencyAnswer.size(), deadline)) break;
  }
  return written;
}

// Round trips: answers each request byte with the 8-byte answer, until `rounds` were answered
// or the reader fell silent.
void ServeRoundTrips(int master, int rounds) {
  for (int round = 0; round < rounds;) {
    pollfd entry{master, POLLIN, 0};
    if (poll(&entry, 1, kFarEndPatienceMs) <= 0) return;
    char request[64];
    const ssize_t n = read(master, request, sizeof request);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return;
    for (ssize_t i = 0; i < n && round < rounds; ++i, ++round) {
      const auto deadline = Steady::now() + std::chrono::milliseconds(kFarEndPatienceMs);
      if (!WriteAll(master, kRoundTripAnswer.data(), kRoundTripAnswer.size(), deadline)) return;
    }
  }
}

// Tells the far end thread, round by round, that the reader is about to wait.
class ReaderSignal {
 public:
  void ReaderWaits() {
    std::lock_guard lock(mutex_);
    waiting_ = true;
    ready_.notify_one();
  }
  // For the far end: true once the reader announced itself, false when it did not in time.
  bool Await() {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, std::chrono::milliseconds(kFarEndPatienceMs),
                         [this] { return waiting_; })) {
      return false;
    }
    waiting_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  bool waiting_ = false;
};

// ---- Readers in this process --------------------------------------------------------------

// What a serial library in this process is asked to do.
class Reader {
 public:
  virtual ~Reader() = default;
  // A blocking read of whatever arrives: returns once at least one byte came, or after the
  // time-out with nothing.
  virtual std::string ReadWhateverArrives(int timeoutMs) = 0;
  // Collects exactly `length` bytes unless the time-out passes first; answers the count.
  virtual size_t ReadExactly(char* buffer, size_t length, int timeoutMs) = 0;
  virtual bool Send(const std::string& data) = 0;
  // The reads of the driver so far, where the library reports them; -1 where it does not.
  virtual long long DriverReads() const { return -1; }
};

// The system clock without the give-up of the time slice that every reception starts with: the
// "ours without the yield" column shows what that one step costs.
class ClockWithoutYield final : public trv::platform::Clock {
 public:
  uint64_t Milliseconds() override { return trv::platform::SystemClock().Milliseconds(); }
  void Sleep(uint32_t milliseconds) override { trv::platform::SystemClock().Sleep(milliseconds); }
  void Yield() override {}
};

class OurReader final : public Reader {
 public:
  explicit OurReader(bool withoutYield = false) : withoutYield_(withoutYield) {}
  bool Open(const std::string& path, std::string& error) {
    // Counts the platform reads, through the status hook every read reports to.
    serial_.SetOnStatus(
        [this](trv::TTrvSerial*, trv::THookSerialReason reason, const std::string&) {
          if (reason == trv::HR_ReadCount) ++reads_;
        });
    serial_.Connect(path);
    if (serial_.LastError() == 0) serial_.Config(9600, 8, 'N', 0, false, false);
    if (serial_.LastError() != 0) error = serial_.LastErrorDesc();
    return serial_.LastError() == 0;
  }
  std::string ReadWhateverArrives(int timeoutMs) override {
    const ClockChoice clock(withoutYield_);
    return serial_.RecvPacket(timeoutMs);
  }
  size_t ReadExactly(char* buffer, size_t length, int timeoutMs) override {
    const ClockChoice clock(withoutYield_);
    const int count = serial_.RecvBufferEx(buffer, static_cast<int>(length), timeoutMs);
    return static_cast<size_t>(std::max(count, 0));
  }
  long long DriverReads() const override { return reads_; }
  bool Send(const std::string& data) override {
    serial_.SendString(data);
    return serial_.LastError() == 0;
  }

 private:
  // Installs the clock without the yield for one call, when asked to.
  class ClockChoice {
   public:
    explicit ClockChoice(bool withoutYield) {
      static ClockWithoutYield clock;
      if (withoutYield) scoped_.emplace(clock);
    }

   private:
    std::optional<trv::platform::ScopedClock> scoped_;
  };

  bool withoutYield_;
  trv::TTrvSerial serial_;
  long long reads_ = 0;
};

class LibserialportReader final : public Reader {
 public:
  ~LibserialportReader() override {
    if (port_ == nullptr) return;
    sp_close(port_);
    sp_free_port(port_);
  }
  bool Open(const std::string& name, std::string& error) {
    if (sp_get_port_by_name(name.c_str(), &port_) != SP_OK || port_ == nullptr ||
        sp_open(port_, SP_MODE_READ_WRITE) != SP_OK || sp_set_baudrate(port_, 9600) != SP_OK ||
        sp_set_bits(port_, 8) != SP_OK || sp_set_parity(port_, SP_PARITY_NONE) != SP_OK ||
        sp_set_stopbits(port_, 1) != SP_OK ||
        sp_set_flowcontrol(port_, SP_FLOWCONTROL_NONE) != SP_OK) {
      char* message = sp_last_error_message();
      error = message != nullptr ? message : "failed";
      sp_free_error_message(message);
      return false;
    }
    return true;
  }
  std::string ReadWhateverArrives(int timeoutMs) override {
    char buffer[4096];
    const sp_return n =
        sp_blocking_read_next(port_, buffer, sizeof buffer, static_cast<unsigned>(timeoutMs));
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }
  size_t ReadExactly(char* buffer, size_t length, int timeoutMs) override {
    const sp_return n = sp_blocking_read(port_, buffer, length, static_cast<unsigned>(timeoutMs));
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  bool Send(const std::string& data) override {
    return sp_blocking_write(port_, data.data(), data.size(), 1000) ==
           static_cast<int>(data.size());
  }

 private:
  sp_port* port_ = nullptr;
};

// One implementation under test with the far end of its own line: the rows are measured in
// blocks, and main() takes turns between the implementations block by block, so that the load of
// a busy machine falls on all of them alike.
class Contender {
 public:
  virtual ~Contender() = default;
  virtual std::vector<double> LatencyBlock(int rounds) = 0;  // µs per round
  virtual double SilentCpuPercent() = 0;
  virtual double Throughput() = 0;                             // MB/s
  virtual std::vector<double> RoundTripBlock(int rounds) = 0;  // µs per round
  int dataErrors = 0;
  bool failed = false;  // stopped answering: no further blocks are asked of it
};

class InProcessContender final : public Contender {
 public:
  InProcessContender(Reader& reader, int master) : reader_(reader), master_(master) {}

  std::vector<double> LatencyBlock(int rounds) override {
    ReaderSignal signal;
    std::vector<Steady::time_point> written;
    std::thread farEnd(
        [&] { written = ServeLatency(master_, rounds, [&] { return signal.Await(); }); });
    std::vector<Steady::time_point> arrived;
    arrived.reserve(static_cast<size_t>(rounds));
    for (int round = 0; round < rounds; ++round) {
      signal.ReaderWaits();
      std::string received = reader_.ReadWhateverArrives(kReadTimeoutMs);
      while (!received.empty() && received.size() < kLatencyAnswer.size()) {
        const std::string more = reader_.ReadWhateverArrives(kReadTimeoutMs);
        if (more.empty()) break;
        received += more;
      }
      arrived.push_back(Steady::now());
      if (received != kLatencyAnswer) ++dataErrors;
      if (received.empty()) {
        failed = true;  // the far end is gone: no use waiting out every round
        break;
      }
    }
    farEnd.join();
    std::vector<double> samples;
    for (size_t i = 0; i < std::min(written.size(), arrived.size()); ++i) {
      samples.push_back(Microseconds(arrived[i] - written[i]));
    }
    return samples;
  }

  double SilentCpuPercent() override {
    const auto wallStart = Steady::now();
    const Nanoseconds cpuStart = ThreadCpuTime();
    const std::string received = reader_.ReadWhateverArrives(kSilentWaitMs);
    const Nanoseconds cpu = ThreadCpuTime() - cpuStart;
    const auto wall = Steady::now() - wallStart;
    if (!received.empty()) ++dataErrors;
    return 100.0 * Microseconds(cpu) / Microseconds(wall);
  }

  // As with pyserial, the reader is already waiting when this thread, the far end, notes the
  // start and writes; the reader notes its own end.
  double Throughput() override {
    const std::string bulk = BulkPattern();
    std::string received(kBulkBytes, '\0');
    ReaderSignal signal;
    size_t count = 0;
    const long long readsBefore = reader_.DriverReads();
    Steady::time_point end;
    std::thread reader([&] {
      signal.ReaderWaits();
      count = reader_.ReadExactly(received.data(), kBulkBytes, kReadTimeoutMs);
      end = Steady::now();
    });
    const bool ready = signal.Await();
    const auto start = Steady::now();
    if (ready) WriteAll(master_, bulk.data(), bulk.size(), start + kReadTimeout);
    reader.join();
    bulkReads_ += reader_.DriverReads() - readsBefore;
    bulkBytes_ += count;
    const double seconds = std::chrono::duration<double>(end - start).count();
    if (count != kBulkBytes || received != bulk) {
      ++dataErrors;
      failed = true;
    }
    return seconds > 0 ? static_cast<double>(count) / 1e6 / seconds : 0;
  }

  // Driver reads per MiB of the bulk transfers; 0 where the reader does not count them.
  double ReadsPerMiB() const {
    return bulkBytes_ == 0 ? 0 : double(bulkReads_) * 1048576.0 / double(bulkBytes_);
  }

  std::vector<double> RoundTripBlock(int rounds) override {
    std::thread farEnd([&] { ServeRoundTrips(master_, rounds); });
    std::vector<double> samples;
    samples.reserve(static_cast<size_t>(rounds));
    char answer[kAnswerBytes];
    for (int round = 0; round < rounds; ++round) {
      const auto start = Steady::now();
      const bool sent = reader_.Send("?");
      const size_t count = sent ? reader_.ReadExactly(answer, kAnswerBytes, kReadTimeoutMs) : 0;
      samples.push_back(Microseconds(Steady::now() - start));
      if (count != kAnswerBytes || std::string(answer, count) != kRoundTripAnswer) {
        ++dataErrors;
        failed = true;
        break;
      }
    }
    farEnd.join();
    return samples;
  }

 private:
  Reader& reader_;
  int master_;
  long long bulkReads_ = 0;
  size_t bulkBytes_ = 0;
};

// A tty name that libserialport accepts as a port (it has a /sys/class/tty entry), for the
// stand-in; empty when none of the usual ones does.
std::string StandInName() {
  for (const char* name : {"/dev/ttyS0", "/dev/ttyS1", "/dev/tty63", "/dev/console"}) {
    sp_port* port = nullptr;
    if (sp_get_port_by_name(name, &port) == SP_OK) {
      sp_free_port(port);
      return name;
    }
  }
  return {};
}

// ---- pyserial, in a child process ---------------------------------------------------------

class PythonPeer {
 public:
  ~PythonPeer() { Stop(); }

  bool Start(const std::string& python, const std::string& script, const std::string& port) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return false;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
      close(toChild[0]);
      close(toChild[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    std::vector<std::string> arguments = {python, script, port};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    toChild_ = toChild[1];
    fromChild_ = fromChild[0];
    if (spawned != 0) pid_ = -1;
    return spawned == 0 && ReadLine(10000) == "open";
  }

  bool Send(const std::string& line) {
    const std::string text = line + "\n";
    return WriteAll(toChild_, text.data(), text.size(),
                    Steady::now() + std::chrono::milliseconds(kFarEndPatienceMs));
  }

  // The next line the child writes; empty when none came within timeoutMs.
  std::string ReadLine(int timeoutMs) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
      if (left <= 0 || fromChild_ < 0) return {};
      pollfd entry{fromChild_, POLLIN, 0};
      if (poll(&entry, 1, static_cast<int>(left)) <= 0) continue;
      char buffer[65536];
      const ssize_t n = read(fromChild_, buffer, sizeof buffer);
      if (n <= 0) return {};
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }

  void Stop() {
    if (toChild_ >= 0) {
      Send("quit");
      close(toChild_);
      toChild_ = -1;
    }
    if (fromChild_ >= 0) {
      close(fromChild_);
      fromChild_ = -1;
    }
    if (pid_ <= 0) return;
    // The child ends at "quit" or at the end of its input; a stuck one is ended after 5 s.
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string pending_;
};

// The words of an answer line after its keyword, as numbers; nullopt when the keyword differs.
std::optional<std::vector<long long>> Numbers(const std::string& line, const std::string& keyword) {
  std::istringstream words(line);
  std::string first;
  if (!(words >> first) || first != keyword) return std::nullopt;
  std::vector<long long> numbers;
  long long number = 0;
  while (words >> number) numbers.push_back(number);
  return numbers;
}

Steady::time_point FromPythonClock(long long nanoseconds) {
  return Steady::time_point(std::chrono::duration_cast<Steady::duration>(Nanoseconds(nanoseconds)));
}

// The reader is pyserial_peer.py; the far end stays in this program. Its own timings come back
// over the pipe.
class PythonContender final : public Contender {
 public:
  PythonContender(PythonPeer& peer, int master) : peer_(peer), master_(master) {}

  // Python's perf_counter_ns and our steady_clock must be one clock for the latency figures.
  bool SameClock() {
    const auto before = Steady::now();
    if (!peer_.Send("clock")) return false;
    const auto numbers = Numbers(peer_.ReadLine(kFarEndPatienceMs), "clock");
    const auto after = Steady::now();
    if (!numbers || numbers->size() != 1) return false;
    const auto python = FromPythonClock((*numbers)[0]);
    return before <= python && python <= after;
  }

  std::vector<double> LatencyBlock(int rounds) override {
    std::vector<double> samples;
    if (!peer_.Send("latency " + std::to_string(rounds) + " " +
                    std::to_string(kLatencyAnswer.size()))) {
      return Fail(samples);
    }
    // The far end runs here; the child announces each wait with "ready".
    const std::vector<Steady::time_point> written =
        ServeLatency(master_, rounds, [&] { return peer_.ReadLine(kFarEndPatienceMs) == "ready"; });
    const auto numbers = Numbers(peer_.ReadLine(kFarEndPatienceMs), "latency");
    if (!numbers || numbers->size() != static_cast<size_t>(rounds) + 1) return Fail(samples);
    dataErrors += static_cast<int>((*numbers)[0]);
    for (size_t i = 0; i < written.size(); ++i) {
      samples.push_back(Microseconds(FromPythonClock((*numbers)[i + 1]) - written[i]));
    }
    return samples;
  }

  double SilentCpuPercent() override {
    if (!peer_.Send("silent " + std::to_string(kSilentWaitMs))) return Fail(0.0);
    const auto numbers = Numbers(peer_.ReadLine(kSilentWaitMs + kFarEndPatienceMs), "silent");
    if (!numbers || numbers->size() != 3 || (*numbers)[1] <= 0) return Fail(0.0);
    if ((*numbers)[2] != 0) ++dataErrors;
    return 100.0 * static_cast<double>((*numbers)[0]) / static_cast<double>((*numbers)[1]);
  }

  double Throughput() override {
    if (!peer_.Send("bulk " + std::to_string(kBulkBytes))) return Fail(0.0);
    if (peer_.ReadLine(kFarEndPatienceMs) != "ready") return Fail(0.0);
    const std::string bulk = BulkPattern();
    const auto start = Steady::now();
    WriteAll(master_, bulk.data(), bulk.size(), start + kReadTimeout);
    const auto numbers = Numbers(peer_.ReadLine(kReadTimeoutMs + kFarEndPatienceMs), "bulk");
    if (!numbers || numbers->size() != 3) return Fail(0.0);
    const double seconds =
        std::chrono::duration<double>(FromPythonClock((*numbers)[0]) - start).count();
    if ((*numbers)[1] != static_cast<long long>(kBulkBytes) || (*numbers)[2] != 1) {
      ++dataErrors;
      failed = true;
    }
    return static_cast<double>((*numbers)[1]) / 1e6 / seconds;
  }

  std::vector<double> RoundTripBlock(int rounds) override {
    std::vector<double> samples;
    std::thread farEnd([&] { ServeRoundTrips(master_, rounds); });
    const bool sent =
        peer_.Send("roundtrip " + std::to_string(rounds) + " " + std::to_string(kAnswerBytes));
    const auto numbers =
        sent ? Numbers(peer_.ReadLine(rounds * 10 + kFarEndPatienceMs), "roundtrip") : std::nullopt;
    farEnd.join();
    if (!numbers || numbers->empty()) return Fail(samples);
    dataErrors += static_cast<int>((*numbers)[0]);
    for (size_t i = 1; i < numbers->size(); ++i) {
      samples.push_back(static_cast<double>((*numbers)[i]) / 1e3);
    }
    return samples;
  }

 private:
  template <typename T>
  T Fail(T value) {
    failed = true;
    return value;
  }

  PythonPeer& peer_;
  int master_;
};

// ---- The run ------------------------------------------------------------------------------

constexpr int kBlocks = 50;          // latency and round-trip rounds come in this many turns
constexpr int kThroughputRuns = 30;  // 1 MiB this many times each; the median counts
constexpr int kRounds = 5;           // the whole run this many times; each row's median counts

struct Entry {
  explicit Entry(const char* entryName) : name(entryName) {}
  const char* name;
  Contender* contender = nullptr;
  Figures figures;
  std::vector<double> latency;
  std::vector<double> roundTrip;
  std::vector<double> throughput;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Append(std::vector<double>& to, const std::vector<double>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// Runs `step` once for each contender still answering, each turn in the next of all the orders
// of the contenders. A contender inherits the state the previous one leaves the machine in:
// after the Python peer's block its interpreter is still busy for a moment, and a core that is
// awake answers a wake-up faster, so with a fixed order the contender that always came next read
// 5-12 µs faster than the same code in another place. Going through every order in turn, each
// contender comes right after each other one equally often (random orders would leave that to
// chance, and a fixed seed would repeat the same imbalance in every invocation).
void TakeTurns(std::vector<Entry>& entries, const std::function<void(Entry&)>& step) {
  static std::vector<size_t> order;
  if (order.size() != entries.size()) {
    order.resize(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
  }
  for (const size_t index : order) {
    Entry& entry = entries[index];
    if (entry.contender != nullptr && !entry.contender->failed) step(entry);
  }
  // After the last order, next_permutation returns to the first.
  std::next_permutation(order.begin(), order.end());
}

void RunAll(std::vector<Entry>& entries) {
  for (Entry& e : entries) {
    e.latency.clear();
    e.roundTrip.clear();
    e.throughput.clear();
    e.figures.available = false;
  }
  for (int turn = 0; turn < kBlocks; ++turn) {
    TakeTurns(entries, [](Entry& e) {
      Append(e.latency, e.contender->LatencyBlock(kLatencyRounds / kBlocks));
    });
  }
  TakeTurns(entries,
            [](Entry& e) { e.figures.silentCpuPercent = e.contender->SilentCpuPercent(); });
  for (int turn = 0; turn < kThroughputRuns; ++turn) {
    TakeTurns(entries, [](Entry& e) { e.throughput.push_back(e.contender->Throughput()); });
  }
  for (int turn = 0; turn < kBlocks; ++turn) {
    TakeTurns(entries, [](Entry& e) {
      Append(e.roundTrip, e.contender->RoundTripBlock(kRoundTripRounds / kBlocks));
    });
  }
  for (Entry& e : entries) {
    if (e.contender == nullptr) continue;
    e.figures.dataErrors = e.contender->dataErrors;
    if (e.contender->failed) {
      e.figures.note = "stopped answering during the run";
      continue;
    }
    e.figures.latency = SpreadOf(e.latency);
    e.figures.roundTrip = SpreadOf(e.roundTrip);
    e.figures.throughput = Median(e.throughput);
    e.figures.available = true;
  }
}

// Each figure the median of its values in the rounds; available only when it was in each.
Figures MedianOfRounds(const std::vector<Figures>& rounds) {
  Figures median;
  median.available = !rounds.empty();
  std::vector<double> latency, latencyP99, cpu, throughput, roundTrip, roundTripP99;
  for (const Figures& f : rounds) {
    median.available = median.available && f.available;
    if (!f.available) median.note = f.note;
    median.dataErrors = std::max(median.dataErrors, f.dataErrors);
    latency.push_back(f.latency.median);
    latencyP99.push_back(f.latency.p99);
    cpu.push_back(f.silentCpuPercent);
    throughput.push_back(f.throughput);
    roundTrip.push_back(f.roundTrip.median);
    roundTripP99.push_back(f.roundTrip.p99);
  }
  median.latency = {Median(latency), Median(latencyP99)};
  median.silentCpuPercent = Median(cpu);
  median.throughput = Median(throughput);
  median.roundTrip = {Median(roundTrip), Median(roundTripP99)};
  return median;
}

// ---- The table ----------------------------------------------------------------------------

struct Row {
  const char* name;
  const char* unit;
  bool higherIsBetter;
  std::function<double(const Figures&)> value;
};

std::string Cell(const Figures& figures, const Row& row) {
  if (!figures.available) return "n/a";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f %s", std::strcmp(row.unit, "%") == 0 ? 4 : 1,
                row.value(figures), row.unit);
  return text;
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"arrival-to-read latency, median", "us", false,
       [](const Figures& f) { return f.latency.median; }},
      {"arrival-to-read latency, p99", "us", false, [](const Figures& f) { return f.latency.p99; }},
      {"CPU of a 2 s silent wait (% of wall)", "%", false,
       [](const Figures& f) { return f.silentCpuPercent; }},
      {"throughput of 1 MiB", "MB/s", true, [](const Figures& f) { return f.throughput; }},
      {"round trip 1 byte -> 8 bytes, median", "us", false,
       [](const Figures& f) { return f.roundTrip.median; }},
      {"round trip 1 byte -> 8 bytes, p99", "us", false,
       [](const Figures& f) { return f.roundTrip.p99; }},
  };
  return rows;
}

// How many times better ours is than the better peer on a row: best/ours for times and CPU,
// ours/best for rates. None when ours or both peers were not measured.
std::optional<double> RatioToBestPeer(const Row& row, const Figures& ours,
                                      const Figures& libserialport, const Figures& pyserial) {
  std::optional<double> best;
  for (const Figures* peer : {&libserialport, &pyserial}) {
    if (!peer->available) continue;
    const double value = row.value(*peer);
    if (!best || (row.higherIsBetter ? value > *best : value < *best)) best = value;
  }
  if (!ours.available || !best) return std::nullopt;
  const double value = row.value(ours);
  const double numerator = row.higherIsBetter ? value : *best;
  const double denominator = row.higherIsBetter ? *best : value;
  if (denominator > 0) return numerator / denominator;
  return numerator > 0 ? std::numeric_limits<double>::infinity() : 1.0;
}

// The figures of one run (or the medians of all): ours, libserialport, pyserial, ours without
// the yield, in the order of the entries.
using RunFigures = std::vector<Figures>;

// "k of n": in how many runs ours was at least as good as the better peer of that same run.
std::string RunsAhead(const Row& row, const std::vector<RunFigures>& runs) {
  int ahead = 0;
  for (const RunFigures& run : runs) {
    const std::optional<double> ratio = RatioToBestPeer(row, run[0], run[1], run[2]);
    if (ratio && *ratio >= 1.0) ++ahead;
  }
  return std::to_string(ahead) + " of " + std::to_string(runs.size());
}

// secondColumn: libserialport, or ours again when the run measures ours against itself.
void PrintTable(const RunFigures& medians, const std::vector<RunFigures>& runs,
                const char* secondColumn) {
  const Figures& ours = medians[0];
  std::printf("  %-38s %12s %14s %12s %12s  %-8s %-10s %14s\n", "row", "ours", secondColumn,
              "pyserial", "vs best peer", "goal met", "runs ahead", "ours, no yield");
  std::vector<std::string> metRows;
  for (const Row& row : Rows()) {
    std::string ratio = "n/a";
    std::string met = "n/a";
    if (const auto value = RatioToBestPeer(row, ours, medians[1], medians[2])) {
      // Cut, not rounded, to two places: 0.996 shows as 0.99, not as a 1.00 that misses.
      char text[32];
      std::snprintf(text, sizeof text, "%.2f", std::floor(*value * 100) / 100);
      ratio = text;
      met = *value >= 1.0 ? "yes" : "no";
      if (*value >= 1.0) metRows.push_back(row.name);
    }
    std::printf("  %-38s %12s %14s %12s %12s  %-8s %-10s %14s\n", row.name, Cell(ours, row).c_str(),
                Cell(medians[1], row).c_str(), Cell(medians[2], row).c_str(), ratio.c_str(),
                met.c_str(), RunsAhead(row, runs).c_str(), Cell(medians[3], row).c_str());
  }
  std::printf("\n  rows at 1.00 or more: %zu of %zu", metRows.size(), Rows().size());
  for (size_t i = 0; i < metRows.size(); ++i) {
    std::printf("%s%s", i == 0 ? " (" : "; ", metRows[i].c_str());
  }
  std::printf("%s\n", metRows.empty() ? "" : ")");
  std::printf(
      "\n  vs best peer: how many times better ours is than the best of the two peers (best/ours "
      "for\n  times and CPU, ours/best for throughput); 1.00 or more means ours is at least as "
      "good.\n"
      "  runs ahead: in how many of the runs ours was at least as good as the better peer of\n"
      "  that run.\n"
      "  ours, no yield: ours without the give-up of the time slice that every reception starts\n"
      "  with (a stated step, kept in the product); not a peer, not in the ratio.\n");
}

}  // namespace

int main(int argc, char** argv) {
  // --against-itself puts a second instance of our class where libserialport goes: what a row
  // shows between two copies of the same code is what this machine's noise alone does to it.
  const bool againstItself = argc == 2 && std::strcmp(argv[1], "--against-itself") == 0;
  if (argc > 2 || (argc == 2 && !againstItself)) {
    std::fprintf(stderr, "usage: serial_peers [--against-itself]\n");
    return 2;
  }
  std::printf(
      "serial_peers: %d latency rounds of %zu bytes, %d round trips, %d x %zu-byte bulk, each in "
      "turns; the median of %d such runs\n\n",
      kLatencyRounds, kLatencyAnswer.size(), kRoundTripRounds, kThroughputRuns, kBulkBytes,
      kRounds);
  std::fflush(stdout);
  std::vector<Entry> entries = {Entry("ours"),
                                Entry(againstItself ? "ours again" : "libserialport"),
                                Entry("pyserial"), Entry("ours, no yield")};

  Line ourLine;
  OurReader ourReader;
  std::unique_ptr<InProcessContender> ours;
  if (!ourLine.Open()) {
    entries[0].figures.note = "openpty failed";
  } else if (ourReader.Open(ourLine.SlavePath(), entries[0].figures.note)) {
    ours = std::make_unique<InProcessContender>(ourReader, ourLine.MasterFd());
    entries[0].contender = ours.get();
  }

  Line spLine;
  const std::string standIn = StandInName();
  std::optional<trv::bench::PtyStandIn> redirect;
  LibserialportReader spReader;
  OurReader secondReader;
  std::unique_ptr<InProcessContender> secondContender;
  if (!spLine.Open()) {
    entries[1].figures.note = "openpty failed";
  } else if (againstItself) {
    if (secondReader.Open(spLine.SlavePath(), entries[1].figures.note)) {
      secondContender = std::make_unique<InProcessContender>(secondReader, spLine.MasterFd());
      entries[1].contender = secondContender.get();
    }
  } else if (standIn.empty()) {
    entries[1].figures.note = "no tty name that libserialport accepts, for the stand-in";
  } else {
    redirect.emplace(standIn, spLine.SlavePath());
    if (spReader.Open(standIn, entries[1].figures.note)) {
      secondContender = std::make_unique<InProcessContender>(spReader, spLine.MasterFd());
      entries[1].contender = secondContender.get();
    }
  }

  Line pyLine;
  PythonPeer peer;
  std::unique_ptr<PythonContender> pyserial;
  const char* python = std::getenv("TRAVINEL_PYTHON");
  if (!pyLine.Open()) {
    entries[2].figures.note = "openpty failed";
    // Debian's own interpreter, the one python3-serial installs for, unless told otherwise.
  } else if (!peer.Start(python != nullptr ? python : "/usr/bin/python3", TRAVINEL_PYSERIAL_PEER,
                         pyLine.SlavePath())) {
    entries[2].figures.note = "bench/pyserial_peer.py did not start (is python3-serial installed?)";
  } else {
    pyserial = std::make_unique<PythonContender>(peer, pyLine.MasterFd());
    if (pyserial->SameClock()) {
      entries[2].contender = pyserial.get();
    } else {
      entries[2].figures.note = "Python's perf_counter_ns is not this program's steady_clock";
    }
  }

  Line noYieldLine;
  OurReader noYieldReader(true);
  std::unique_ptr<InProcessContender> oursWithoutYield;
  if (!noYieldLine.Open()) {
    entries[3].figures.note = "openpty failed";
  } else if (noYieldReader.Open(noYieldLine.SlavePath(), entries[3].figures.note)) {
    oursWithoutYield = std::make_unique<InProcessContender>(noYieldReader, noYieldLine.MasterFd());
    entries[3].contender = oursWithoutYield.get();
  }

  std::vector<RunFigures> runs;
  for (int round = 0; round < kRounds; ++round) {
    RunAll(entries);
    RunFigures run;
    for (const Entry& entry : entries) run.push_back(entry.figures);
    runs.push_back(run);
  }
  RunFigures medians;
  for (size_t i = 0; i < entries.size(); ++i) {
    std::vector<Figures> ofEntry;
    for (const RunFigures& run : runs) ofEntry.push_back(run[i]);
    entries[i].figures = MedianOfRounds(ofEntry);
    medians.push_back(entries[i].figures);
  }
  PrintTable(medians, runs, entries[1].name);
  if (entries[0].figures.available) {
    std::printf(
        "\n  ours: %.0f packets per MiB of bulk reception, each moved by one read of the driver\n",
        ours->ReadsPerMiB());
  }
  int exitCode = entries[0].figures.available ? 0 : 1;
  for (const Entry& entry : entries) {
    if (!entry.figures.available) {
      std::printf("\n  %s: not measured: %s", entry.name, entry.figures.note.c_str());
    }
    if (entry.figures.dataErrors != 0) {
      std::printf("\n  %s: %d data errors (wrong, short or missing answers)", entry.name,
                  entry.figures.dataErrors);
      exitCode = 1;
    }
  }
  std::printf("\n");
  return exitCode;
}
