#include "SerialPeer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

namespace trv::test {
namespace {

// A write that the reader does not take for this long is dropped, so that one test that
// stopped reading does not stall the peer for the tests after it.
constexpr int kStallMs = 10000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return !text.empty() && text[0] != '-' && result.ec == std::errc() && result.ptr == end;
}

std::string Pattern(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
  return bytes;
}

}  // namespace

SerialPeer::SerialPeer(std::string linkPath, int stopFd)
    : pty_(std::move(linkPath)), stopFd_(stopFd) {}

SerialPeer::~SerialPeer() = default;  // the pseudo-terminal removes its link as it closes

bool SerialPeer::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  return false;
}

bool SerialPeer::Open() {
  if (pty_.Open()) return true;
  error_ = pty_.Error();
  return false;
}

bool SerialPeer::Serve() {
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end == std::string::npos) {
      if (!Receive()) return stopped_;
      continue;
    }
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Execute(line)) return stopped_ || error_.empty();
  }
}

bool SerialPeer::Execute(const std::string& line) {
  std::istringstream words(line);
  std::string verb;
  std::vector<std::string> args;
  words >> verb;
  for (std::string arg; words >> arg;) args.push_back(arg);
  const size_t n = args.size();
  std::string first;
  std::string second;
  int ms = 0;
  size_t count = 0;
  if (verb == "QUIT") return false;
  if (verb == "SEND" && n == 1 && ParseHex(args[0], first)) return WriteAll(first);
  const bool timed = n >= 2 && ParseNumber(args[0], ms) && ParseHex(args[1], first);
  if (verb == "LATE" && n == 2 && timed) return Pause(ms) && WriteAll(first);
  if (verb == "TRICKLE" && n == 2 && timed) return Trickle(ms, first);
  if (verb == "SPLIT" && n == 3 && timed && ParseHex(args[2], second)) {
    return WriteAll(first) && Pause(ms) && WriteAll(second);
  }
  if (verb == "STREAM" && n == 1 && ParseNumber(args[0], count)) return WriteAll(Pattern(count));
  if (verb == "SINK" && n == 1 && ParseNumber(args[0], count)) return Sink(count);
  if (verb == "ECHO" && n == 1 && ParseNumber(args[0], count)) return Echo(count);
  if (verb == "MODEM" && n == 0) return Modem();
  if (verb == "HANGUP" && n == 1 && ParseNumber(args[0], ms)) return HangUp(ms);
  int other = 0;
  if (verb == "UNPLUG" && n == 2 && ParseNumber(args[0], ms) && ParseNumber(args[1], other)) {
    return Unplug(ms, other);
  }
  if (verb == "FLOOD" && n == 2 && timed) return Flood(ms, first);
  if (verb == "REPEAT" && n == 3 && ParseNumber(args[0], count) && ParseNumber(args[1], ms) &&
      ParseHex(args[2], first)) {
    return Repeat(count, ms, first);
  }
  return true;  // SILENT, and lines this peer does not know
}

bool SerialPeer::Trickle(int gapMs, const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && !Pause(gapMs)) return false;
    if (!WriteAll(bytes.substr(i, 1))) return false;
  }
  return true;
}

bool SerialPeer::Sink(size_t count) {
  for (;;) {
    const size_t taken = std::min(count, pending_.size());
    pending_.erase(0, taken);
    count -= taken;
    if (count == 0) return WriteAll("OK\n");
    if (!Receive()) return false;
  }
}

bool SerialPeer::Echo(size_t count) {
  while (count > 0) {
    const size_t taken = std::min(count, pending_.size());
    if (taken > 0 && !WriteAll(pending_.substr(0, taken))) return false;
    pending_.erase(0, taken);
    count -= taken;
    if (count > 0 && !Receive()) return false;
  }
  return true;
}

std::string SerialPeer::ModemAnswer(const std::string& command, bool& connected) {
  connected = false;
  if (command.rfind("ATD", 0) == 0) {
    if (command.find("BUSY") != std::string::npos) return "BUSY";
    connected = true;
    return "CONNECT 9600";
  }
  return command.rfind("AT", 0) == 0 ? "OK" : "ERROR";
}

bool SerialPeer::Modem() {
  for (bool connected = false; !connected;) {
    const size_t end = pending_.find('\r');
    if (end == std::string::npos) {
      if (!Receive()) return false;
      continue;
    }
    std::string command = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    // A line feed left over from a CR LF sent after the previous command belongs to it.
    if (!command.empty() && command.front() == '\n') command.erase(0, 1);
    const std::string answer = ModemAnswer(command, connected);
    if (!WriteAll(command + "\r\r\n" + answer + "\r\n")) return false;
  }
  return true;
}

bool SerialPeer::HangUp(int delayMs) {
  if (!Pause(delayMs)) return false;
  // The new line is up and the link points to it before the old one drops: a client that
  // reacts to the hang-up by opening the link path again always reaches the new line. What the
  // client sent on the old line and we did not read yet goes with it.
  pending_.clear();
  if (!pty_.Renew()) {
    error_ = pty_.Error();
    return false;
  }
  std::printf("%s\n", pty_.SlavePath().c_str());
  std::fflush(stdout);
  return true;
}

bool SerialPeer::Unplug(int delayMs, int goneMs) {
  if (!Pause(delayMs)) return false;
  pending_.clear();
  // Without the link and without the line, the device is gone: the client's descriptor hangs
  // up and opening the path fails as for a port that does not exist.
  pty_.Close();
  if (!Pause(goneMs)) return false;
  if (!pty_.Open()) {
    error_ = pty_.Error();
    return false;
  }
  std::printf("%s\n", pty_.SlavePath().c_str());
  std::fflush(stdout);
  return true;
}

bool SerialPeer::Flood(int durationMs, const std::string& bytes) {
  using Steady = std::chrono::steady_clock;
  if (bytes.empty()) return true;
  // Whole copies in one write, so that the kernel takes many at a time.
  std::string block;
  while (block.size() < 4096) block += bytes;
  const auto deadline = Steady::now() + std::chrono::milliseconds(durationMs);
  size_t offset = 0;  // where in block the next write starts: the stream has no seams
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
    if (left.count() <= 0) return true;
    const ssize_t n = write(pty_.MasterFd(), block.data() + offset, block.size() - offset);
    if (n > 0) {
      offset = (offset + static_cast<size_t>(n)) % block.size();
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail("write");
    // A full line waits for the reader, never beyond the end of the flood.
    const Wait wait = WaitFor(POLLOUT, static_cast<int>(left.count()));
    if (wait == Wait::Stopped || wait == Wait::Failed) return false;
  }
}

bool SerialPeer::Repeat(size_t count, int gapMs, const std::string& bytes) {
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && !Pause(gapMs)) return false;
    if (!WriteAll(bytes)) return false;
  }
  return true;
}

SerialPeer::Wait SerialPeer::WaitFor(short events, int timeoutMs) {
  pollfd entries[2] = {{stopFd_, POLLIN, 0}, {pty_.MasterFd(), events, 0}};
  const nfds_t count = events != 0 ? 2 : 1;
  int ready = poll(entries, count, timeoutMs);
  // The signals that interrupt poll() are the ones that also fill the stop pipe: look again.
  while (ready < 0 && errno == EINTR) ready = poll(entries, count, timeoutMs);
  if (ready < 0) {
    Fail("poll");
    return Wait::Failed;
  }
  if ((entries[0].revents & POLLIN) != 0) {
    stopped_ = true;
    return Wait::Stopped;
  }
  if (ready == 0) return Wait::TimedOut;
  if ((entries[1].revents & (POLLERR | POLLNVAL)) != 0) {
    errno = EIO;
    Fail("line");
    return Wait::Failed;
  }
  return Wait::Ready;
}

bool SerialPeer::Pause(int ms) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now());
    if (left.count() <= 0) return true;
    if (WaitFor(0, static_cast<int>(left.count())) != Wait::TimedOut) return false;
  }
}

bool SerialPeer::Receive() {
  const Wait wait = WaitFor(POLLIN, -1);
  if (wait != Wait::Ready) return false;
  char buffer[4096];
  const ssize_t n = read(pty_.MasterFd(), buffer, sizeof buffer);
  if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
  if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail("read");
  return true;
}

bool SerialPeer::WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(pty_.MasterFd(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail("write");
    const Wait wait = WaitFor(POLLOUT, kStallMs);
    if (wait == Wait::Stopped || wait == Wait::Failed) return false;
    if (wait == Wait::TimedOut) {
      std::fprintf(stderr, "serial_peer: nobody read; dropped %zu bytes\n", bytes.size() - done);
      return true;
    }
  }
  return true;
}

}  // namespace trv::test
