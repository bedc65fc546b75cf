#include "testing/CommPortFake.h"

#include <algorithm>
#include <cstring>

namespace trv {
namespace {

constexpr int kErrorInvalidHandle = 6;

}  // namespace

bool CommPortFake::Open(const std::string& path) {
  Log("Open " + path);
  lastError_ = 0;
  if (auto error = openErrors_.find(path); error != openErrors_.end()) {
    lastError_ = error->second;
    return false;
  }
  open_ = true;
  openedPath_ = path;
  return true;
}

void CommPortFake::Close() {
  Log("Close");
  open_ = false;
}

void CommPortFake::Prepare(uint32_t inputQueueSize) {
  Log("Prepare " + std::to_string(inputQueueSize));
  preparedQueue_ = inputQueueSize;
}

void CommPortFake::SetupQueues(uint32_t inputQueueSize) {
  Log("SetupQueues " + std::to_string(inputQueueSize));
  preparedQueue_ = inputQueueSize;
}

bool CommPortFake::GetState(Dcb& dcb) {
  if (!Enter(Call::GetState, "GetState")) return false;
  dcb = state_;
  return true;
}

bool CommPortFake::SetState(const Dcb& dcb) {
  if (!Enter(Call::SetState, "SetState")) return false;
  state_ = dcb;
  return true;
}

bool CommPortFake::Purge(uint32_t flags) {
  if (!Enter(Call::Purge, "Purge " + std::to_string(flags))) return false;
  Deliver();
  if ((flags & comm::kPurgeRxClear) != 0) input_.clear();
  if ((flags & comm::kPurgeTxClear) != 0) outQueue_ = 0;
  return true;
}

bool CommPortFake::Flush() {
  if (!Enter(Call::Flush, "Flush")) return false;
  AdvanceTo(std::max(clock_.Milliseconds(), outQueue_ != 0 ? outEmptyAt_ : 0));
  outQueue_ = 0;
  return true;
}

TransferOutcome CommPortFake::Write(const char* data, int length, int deadlockMs,
                                    int& transferred) {
  transferred = 0;
  if (!Enter(Call::Write, "Write " + std::to_string(length))) return TransferOutcome::Failed;
  const int carried = writeCapacity_ < 0 ? length : std::min(length, writeCapacity_);
  written_.append(data, static_cast<size_t>(carried));
  transferred = carried;
  if (responder_) responder_(Bytes(data, static_cast<size_t>(carried)));
  if (carried == length) return TransferOutcome::Completed;
  AdvanceTo(clock_.Milliseconds() + static_cast<uint64_t>(std::max(deadlockMs, 0)));
  return TransferOutcome::TimedOut;
}

TransferOutcome CommPortFake::Read(char* data, int length, int deadlockMs, int& transferred) {
  transferred = 0;
  if (!Enter(Call::Read, "Read " + std::to_string(length))) return TransferOutcome::Failed;
  const uint64_t deadline = clock_.Milliseconds() + static_cast<uint64_t>(std::max(deadlockMs, 0));
  Deliver();
  uint64_t next = 0;
  while (input_.size() < static_cast<size_t>(length) && NextArrival(next) && next <= deadline) {
    AdvanceTo(next);
  }
  const size_t wanted = static_cast<size_t>(std::max(length, 0));
  const size_t taken = std::min({input_.size(), wanted, readCut_});
  std::memcpy(data, input_.data(), taken);
  input_.erase(0, taken);
  transferred = static_cast<int>(taken);
  if (readCut_ != SIZE_MAX) {
    readCut_ = SIZE_MAX;
    lastError_ = readCutCode_;
    return TransferOutcome::Failed;
  }
  if (taken == wanted) return TransferOutcome::Completed;
  AdvanceTo(deadline);
  return TransferOutcome::TimedOut;
}

bool CommPortFake::ClearError(CommStatus& status) {
  if (!Enter(Call::ClearError, "ClearError")) return false;
  Deliver();
  if (outQueue_ != 0 && clock_.Milliseconds() >= outEmptyAt_) outQueue_ = 0;
  status.errors = lineErrors_;
  status.inQueue = static_cast<uint32_t>(input_.size());
  status.outQueue = outQueue_;
  lineErrors_ = 0;
  return true;
}

void CommPortFake::Escape(comm::Escape function) {
  Log("Escape " + std::to_string(static_cast<uint32_t>(function)));
  switch (function) {
    case comm::Escape::SetRts:
      rts_ = true;
      break;
    case comm::Escape::ClearRts:
      rts_ = false;
      break;
    case comm::Escape::SetDtr:
      dtr_ = true;
      break;
    case comm::Escape::ClearDtr:
      dtr_ = false;
      break;
  }
}

bool CommPortFake::ModemStatus(uint32_t& word) {
  if (!Enter(Call::ModemStatus, "ModemStatus")) return false;
  word = modemWord_;
  return true;
}

uint32_t CommPortFake::WaitEvent(uint32_t mask, int timeoutMs) {
  Log("WaitEvent " + std::to_string(mask) + " " + std::to_string(timeoutMs));
  if (!open_) return 0;
  // A negative time-out waits without limit: until the next arrival, or, with none scripted, for
  // no time at all (a test has no forever to wait).
  const uint64_t deadline =
      timeoutMs < 0 ? UINT64_MAX : clock_.Milliseconds() + static_cast<uint64_t>(timeoutMs);
  uint32_t received = 0;
  if ((mask & comm::kEvRxChar) != 0) {
    Deliver();
    uint64_t next = 0;
    if (input_.empty() && NextArrival(next) && next <= deadline) AdvanceTo(next);
    if (!input_.empty()) received |= comm::kEvRxChar;
  }
  if ((mask & comm::kEvTxEmpty) != 0) {
    if (outQueue_ != 0 && outEmptyAt_ <= deadline) {
      AdvanceTo(outEmptyAt_);
      outQueue_ = 0;
    }
    if (outQueue_ == 0) received |= comm::kEvTxEmpty;
  }
  if (received == 0 && deadline != UINT64_MAX) AdvanceTo(deadline);
  return received;
}

bool CommPortFake::SetBreak(bool on) {
  return Enter(Call::Break, on ? "Break on" : "Break off");
}

void CommPortFake::Deliver() {
  const uint64_t now = clock_.Milliseconds();
  auto due = [now](const Arrival& arrival) { return arrival.at <= now; };
  std::stable_sort(arrivals_.begin(), arrivals_.end(),
                   [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
  for (const Arrival& arrival : arrivals_) {
    if (due(arrival)) input_ += arrival.data;
  }
  arrivals_.erase(std::remove_if(arrivals_.begin(), arrivals_.end(), due), arrivals_.end());
}

bool CommPortFake::NextArrival(uint64_t& at) const {
  if (arrivals_.empty()) return false;
  at = std::min_element(arrivals_.begin(), arrivals_.end(), [](const Arrival& a, const Arrival& b) {
         return a.at < b.at;
       })->at;
  return true;
}

void CommPortFake::AdvanceTo(uint64_t at) {
  if (at > clock_.Milliseconds()) clock_.Set(at);
  Deliver();
}

bool CommPortFake::Enter(Call call, const std::string& text) {
  Log(text);
  if (!open_) {
    lastError_ = kErrorInvalidHandle;
    return false;
  }
  if (auto failure = failures_.find(call); failure != failures_.end()) {
    lastError_ = failure->second;
    return false;
  }
  return true;
}

}  // namespace trv
