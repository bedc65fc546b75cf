#include "ScaleSimulator.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "ScaleProtocols.h"

namespace trv::tools {
namespace {

// Bytes the line may hold back before more answers are dropped: a scale does not wait for a
// point of sale that stopped reading.
constexpr size_t kMaxOutbox = 64 * 1024;
constexpr size_t kStopWatch = 0;
constexpr size_t kScaleWatch = 1;
constexpr size_t kFirstChannelWatch = 2;

std::unique_ptr<ScaleProtocol> ProtocolNamed(const std::string& name) {
  std::unique_ptr<ScaleProtocol> protocol = MakeScaleProtocol(name);
  if (!protocol) throw std::invalid_argument("unknown scale protocol: " + name);
  return protocol;
}

}  // namespace

ScaleSimulator::ScaleSimulator(int scaleFd, int stopFd, const SimulatorSettings& settings,
                               std::unique_ptr<ScaleProtocol> protocol)
    : scaleFd_(scaleFd),
      stopFd_(stopFd),
      interpreter_(settings),
      protocol_(protocol ? std::move(protocol) : ProtocolNamed(settings.protocol)) {
  AdoptSettings(settings);
}

ScaleSimulator::~ScaleSimulator() = default;

void ScaleSimulator::AddControlChannel(int readFd, int writeFd) {
  channels_.push_back(std::make_unique<ControlChannel>(readFd, writeFd));
}

bool ScaleSimulator::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  log_.Note(error_);
  return false;
}

bool ScaleSimulator::Serve() {
  while (!quit_) {
    FireDueTimers();
    if (!error_.empty()) return false;
    std::vector<pollfd> watches = Watches();
    const int ready = poll(watches.data(), watches.size(), PollTimeoutMs());
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Fail("poll");
    if ((watches[kStopWatch].revents & POLLIN) != 0) break;
    if (!HandleScale(watches[kScaleWatch].revents)) return false;
    HandleControls(watches);
  }
  return true;
}

std::vector<pollfd> ScaleSimulator::Watches() const {
  const short scaleEvents = static_cast<short>(POLLIN | (outbox_.empty() ? 0 : POLLOUT));
  std::vector<pollfd> watches{{stopFd_, POLLIN, 0}, {scaleFd_, scaleEvents, 0}};
  for (const auto& channel : channels_) watches.push_back({channel->ReadFd(), POLLIN, 0});
  return watches;
}

int ScaleSimulator::PollTimeoutMs() const {
  std::optional<Steady::time_point> next = nextUnsolicited_;
  if (!deliveries_.empty()) {
    const Steady::time_point delivery = deliveries_.begin()->first;
    next = next ? std::min(*next, delivery) : delivery;
  }
  if (!next) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Steady::now());
  return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

bool ScaleSimulator::HandleScale(short revents) {
  if ((revents & POLLIN) != 0 && !ReadScale()) return false;
  if ((revents & POLLOUT) != 0 && !FlushOutbox()) return false;
  if ((revents & POLLIN) == 0 && (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    errno = EIO;
    return Fail("the scale line hung up");
  }
  return true;
}

bool ScaleSimulator::ReadScale() {
  char buffer[4096];
  const ssize_t n = read(scaleFd_, buffer, sizeof buffer);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n == 0) errno = EIO;  // a tty reads nothing once the line hung up
  if (n <= 0) return Fail("read from the scale line");
  const Bytes bytes(buffer, static_cast<size_t>(n));
  log_.Received(bytes);
  received_ += bytes;
  AnswerRequests();
  return true;
}

void ScaleSimulator::AnswerRequests() {
  while (!received_.empty()) {
    const size_t length = protocol_->RequestLength(received_);
    if (length > 0) {
      const Bytes request = received_.substr(0, length);
      received_.erase(0, length);
      AnswerOneRequest(request);
    } else if (protocol_->BeginsRequest(received_)) {
      return;  // the rest of the request is still on its way
    } else {
      received_.erase(0, 1);
    }
  }
}

void ScaleSimulator::AnswerOneRequest(const Bytes& /*request*/) {
  ++requests_;
  const Bytes answer = NextAnswer();
  if (answer.empty()) return;
  Schedule(answer, Steady::now() + std::chrono::milliseconds(settings_.delayMs));
}

Bytes ScaleSimulator::NextAnswer() {
  if (settings_.silent) return {};
  ScaleReading reading = settings_.reading;
  if (settings_.unstableAnswers > 0) {
    reading.state = ScaleState::Unstable;
    --settings_.unstableAnswers;
  }
  return settings_.frame.empty() ? protocol_->Answer(reading)
                                 : protocol_->FrameAnswer(reading, settings_.frame);
}

void ScaleSimulator::Schedule(const Bytes& answer, Steady::time_point start) {
  const size_t half = answer.size() / 2;
  if (settings_.splitMs <= 0 || half == 0) {
    deliveries_.emplace(start, answer);
    return;
  }
  deliveries_.emplace(start, answer.substr(0, half));
  deliveries_.emplace(start + std::chrono::milliseconds(settings_.splitMs), answer.substr(half));
}

void ScaleSimulator::FireDueTimers() {
  const Steady::time_point now = Steady::now();
  if (nextUnsolicited_ && *nextUnsolicited_ <= now) SendUnsolicited(now);
  while (!deliveries_.empty() && deliveries_.begin()->first <= now) {
    const Bytes bytes = std::move(deliveries_.begin()->second);
    deliveries_.erase(deliveries_.begin());
    if (!Send(bytes)) return;
  }
}

void ScaleSimulator::SendUnsolicited(Steady::time_point now) {
  const auto interval = std::chrono::milliseconds(settings_.unsolicitedMs);
  // The next one keeps the rhythm; after a stall it counts from now rather than catching up.
  nextUnsolicited_ = *nextUnsolicited_ + interval;
  if (*nextUnsolicited_ <= now) nextUnsolicited_ = now + interval;
  const Bytes answer = NextAnswer();
  if (!answer.empty()) Schedule(answer, now);
}

bool ScaleSimulator::Send(const Bytes& bytes) {
  if (outbox_.size() + bytes.size() > kMaxOutbox) {
    log_.Note("nobody reads the line: dropped " + ByteLog::Hex(bytes));
    return true;
  }
  log_.Sent(bytes);
  outbox_ += bytes;
  return FlushOutbox();
}

bool ScaleSimulator::FlushOutbox() {
  while (!outbox_.empty()) {
    const ssize_t n = write(scaleFd_, outbox_.data(), outbox_.size());
    if (n > 0) {
      outbox_.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return true;  // the rest goes when the line is writable
    return Fail("write to the scale line");
  }
  return true;
}

void ScaleSimulator::HandleControls(const std::vector<pollfd>& watches) {
  // Backwards, so that a finished channel can go without disturbing the indexes still to come.
  for (size_t i = channels_.size(); i-- > 0;) {
    const short revents = watches[kFirstChannelWatch + i].revents;
    if (revents == 0) continue;
    std::vector<std::string> lines;
    const bool open = channels_[i]->Receive(lines);
    for (const std::string& line : lines) ExecuteCommand(*channels_[i], line);
    if (!open) channels_.erase(channels_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void ScaleSimulator::ExecuteCommand(ControlChannel& channel, const std::string& line) {
  if (quit_) return;
  SimulatorSettings next = settings_;
  const ControlInterpreter::Result result = interpreter_.Execute(line, next, requests_);
  if (result.reply.empty()) return;
  log_.Note(line + " -> " + result.reply.substr(0, result.reply.size() - 1));
  AdoptSettings(next);
  if (result.reset) ForgetPending();
  channel.Reply(result.reply);
  quit_ = result.quit;
}

// A scale that was reset does not go on sending what it meant to send before (the second half of
// a split answer, a delayed answer), nor finish a request it had begun to receive.
void ScaleSimulator::ForgetPending() {
  deliveries_.clear();
  received_.clear();
}

void ScaleSimulator::AdoptSettings(const SimulatorSettings& next) {
  if (next.protocol != protocol_->Name()) {
    protocol_ = ProtocolNamed(next.protocol);
    received_.clear();
  }
  if (next.unsolicitedMs != settings_.unsolicitedMs) {
    nextUnsolicited_.reset();
    if (next.unsolicitedMs > 0) {
      nextUnsolicited_ = Steady::now() + std::chrono::milliseconds(next.unsolicitedMs);
    }
  }
  settings_ = next;
}

}  // namespace trv::tools
