#include "PortProber.h"

#include <algorithm>
#include <exception>

#include "PortBusy.h"
#include "platform/Clock.h"

namespace trv::detection {
namespace {

// More than any scale's answer; a line that pours out more is not worth reading further.
constexpr size_t kLongestAnswer = 4096;
// What a stream adds to the listening window before it is cut off.
constexpr int kStreamExtraMs = 300;

std::unique_ptr<TTrvSerial> MakeSerial(std::unique_ptr<CommPort> port) {
  return port ? std::make_unique<TTrvSerial>(std::move(port)) : std::make_unique<TTrvSerial>();
}

}  // namespace

PortProber::PortProber(std::unique_ptr<CommPort> port) : PortProber(std::move(port), Timing{}) {}

PortProber::PortProber(std::unique_ptr<CommPort> port, Timing timing)
    : serial_(MakeSerial(std::move(port))), timing_(timing) {}

int PortProber::WorstSettingMs() const {
  const auto requests = static_cast<int>(ScaleAnswerMatcher::DistinctRequests().size());
  return timing_.listenMs + kStreamExtraMs + requests * timing_.longestAnswerMs;
}

void PortProber::Probe(PortOutcome& outcome, uint64_t deadlineMs, const Progress& progress) {
  try {
    if (Open(outcome)) TrySettings(outcome, deadlineMs, progress);
  } catch (const std::exception& e) {
    outcome.kind = PortOutcome::Kind::kOpenFailed;
    outcome.reason = e.what();
  } catch (...) {
    outcome.kind = PortOutcome::Kind::kOpenFailed;
    outcome.reason = "falha desconhecida";
  }
  try {
    if (serial_->InstanceActive()) serial_->CloseSocket();
  } catch (...) {
    // Closing a port that failed may complain; it is closed all the same.
  }
}

bool PortProber::Open(PortOutcome& outcome) {
  serial_->Connect(outcome.device);
  const int code = serial_->LastError();
  if (code == 0 && serial_->InstanceActive()) return true;
  outcome.kind = IsPortBusyError(code) ? PortOutcome::Kind::kBusy : PortOutcome::Kind::kOpenFailed;
  outcome.reason = serial_->LastErrorDesc();
  return false;
}

void PortProber::TrySettings(PortOutcome& outcome, uint64_t deadlineMs, const Progress& progress) {
  platform::Clock& clock = platform::CurrentClock();
  const std::vector<LineSetting>& lines = LineSetting::Candidates();
  outcome.kind = PortOutcome::Kind::kSilent;
  size_t refused = 0;
  for (size_t index = 0; index < lines.size(); ++index) {
    if (clock.Milliseconds() + static_cast<uint64_t>(WorstSettingMs()) > deadlineMs) {
      // A port that answered without a weight says more than a search cut short.
      if (outcome.kind == PortOutcome::Kind::kSilent) outcome.kind = PortOutcome::Kind::kOutOfTime;
      return;
    }
    if (progress) progress(lines[index], index, lines.size());
    if (!Configure(lines[index], outcome)) {
      ++refused;
      continue;
    }
    if (TrySetting(lines[index], outcome)) return;
  }
  // A line that takes none of the settings is no port to read a scale on.
  if (refused == lines.size()) outcome.kind = PortOutcome::Kind::kOpenFailed;
}

bool PortProber::Configure(const LineSetting& line, PortOutcome& outcome) {
  serial_->Config(line.baud, line.bits, line.ParityLetter(), line.StopCode(), false, false);
  if (serial_->LastError() == 0) return true;
  // An adapter may refuse one setting and take the others: the first refusal is kept as the
  // reason should every setting be refused.
  if (outcome.reason.empty()) outcome.reason = line.Text() + ": " + serial_->LastErrorDesc();
  return false;
}

bool PortProber::TrySetting(const LineSetting& line, PortOutcome& outcome) {
  serial_->Purge();
  // A scale that streams is heard without asking; while the line talks by itself, a request
  // would only be lost in the stream.
  const Bytes heard = Collect(timing_.listenMs, timing_.listenMs + kStreamExtraMs);
  if (!heard.empty()) return Consider(heard, std::nullopt, line, outcome);
  for (const Bytes& request : ScaleAnswerMatcher::DistinctRequests()) {
    serial_->Purge();
    serial_->SendString(request);
    const Bytes answer = Collect(timing_.firstByteMs, timing_.longestAnswerMs);
    if (Consider(answer, request, line, outcome)) return true;
  }
  return false;
}

Bytes PortProber::Collect(int firstByteMs, int longestMs) {
  platform::Clock& clock = platform::CurrentClock();
  const uint64_t start = clock.Milliseconds();
  Bytes collected;
  for (;;) {
    const auto elapsed = static_cast<int>(
        std::min<uint64_t>(clock.Milliseconds() - start, static_cast<uint64_t>(longestMs)));
    const int wait =
        std::min(collected.empty() ? firstByteMs - elapsed : timing_.quietMs, longestMs - elapsed);
    if (wait <= 0) break;
    const Bytes packet = serial_->RecvPacket(wait);
    if (packet.empty()) break;
    collected += packet;
    if (collected.size() > kLongestAnswer) break;
  }
  return collected;
}

bool PortProber::Consider(const Bytes& answer, const std::optional<Bytes>& request,
                          const LineSetting& line, PortOutcome& outcome) {
  std::vector<ModelReading> readings = ScaleAnswerMatcher::Match(answer, request);
  if (!readings.empty()) {
    outcome.kind = PortOutcome::Kind::kFound;
    outcome.reading = readings.front();
    outcome.alsoRead.assign(readings.begin() + 1, readings.end());
    outcome.line = line;
    return true;
  }
  if (!answer.empty() && ScaleAnswerMatcher::LooksLikeScaleText(answer) &&
      outcome.kind == PortOutcome::Kind::kSilent) {
    outcome.kind = PortOutcome::Kind::kNoWeight;
    outcome.line = line;
  }
  return false;
}

}  // namespace trv::detection
