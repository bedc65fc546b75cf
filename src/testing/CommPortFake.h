#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Bytes.h"
#include "serial/CommPort.h"
#include "testing/ManualClock.h"

namespace trv {

// A scriptable serial port on a manual clock, for deterministic tests of the serial logic and
// of everything above it. Bytes arrive at given moments; waits move the clock to the next
// arrival (or to the end of the wait) instead of sleeping. Every platform call is logged.
class CommPortFake final : public CommPort {
 public:
  // The calls that can be made to fail with a platform code.
  enum class Call { GetState, SetState, Purge, Flush, Write, Read, ClearError, ModemStatus, Break };

  explicit CommPortFake(platform::ManualClock& clock) : clock_(clock) {}

  // Script.
  void ArriveAt(uint64_t atMs, const Bytes& data) { arrivals_.push_back({atMs, data}); }
  void ArriveAfter(uint64_t delayMs, const Bytes& data) {
    ArriveAt(clock_.Milliseconds() + delayMs, data);
  }
  void SetOpenError(const std::string& path, int code) { openErrors_[path] = code; }
  void Fail(Call call, int code) { failures_[call] = code; }
  void Heal(Call call) { failures_.erase(call); }
  // The next read hands out at most `count` bytes and then fails with `code`: a line that hangs
  // up in the middle of a read.
  void CutNextRead(size_t count, int code) {
    readCut_ = count;
    readCutCode_ = code;
  }
  void InjectLineErrors(uint32_t flags) { lineErrors_ |= flags; }
  void SetModemWord(uint32_t word) { modemWord_ = word; }
  // Bytes the line takes before a write stalls (the write then waits out its deadlock time-out).
  void SetWriteCapacity(int bytes) { writeCapacity_ = bytes; }
  // The output queue holds this many bytes until the given moment.
  void SetOutputQueue(uint32_t bytes, uint64_t emptyAtMs) {
    outQueue_ = bytes;
    outEmptyAt_ = emptyAtMs;
  }

  // Called with every block written, after it went out: a scripted far end answers here.
  void SetResponder(std::function<void(const Bytes& written)> responder) {
    responder_ = std::move(responder);
  }

  // Observation.
  const Bytes& Written() const { return written_; }
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  const std::string& OpenedPath() const { return openedPath_; }
  size_t InputQueued() {
    Deliver();
    return input_.size();
  }
  Dcb& State() { return state_; }
  bool Rts() const { return rts_; }
  bool Dtr() const { return dtr_; }
  uint32_t PreparedQueueSize() const { return preparedQueue_; }

  // CommPort.
  bool Open(const std::string& path) override;
  bool IsOpen() const override { return open_; }
  void Close() override;
  intptr_t NativeHandle() const override { return open_ ? 3 : -1; }
  void Prepare(uint32_t inputQueueSize) override;
  void SetupQueues(uint32_t inputQueueSize) override;
  bool GetState(Dcb& dcb) override;
  bool SetState(const Dcb& dcb) override;
  bool Purge(uint32_t flags) override;
  bool Flush() override;
  TransferOutcome Write(const char* data, int length, int deadlockMs, int& transferred) override;
  TransferOutcome Read(char* data, int length, int deadlockMs, int& transferred) override;
  bool ClearError(CommStatus& status) override;
  void Escape(comm::Escape function) override;
  bool ModemStatus(uint32_t& word) override;
  uint32_t WaitEvent(uint32_t mask, int timeoutMs) override;
  bool SetBreak(bool on) override;
  int LastError() const override { return lastError_; }

 private:
  struct Arrival {
    uint64_t at;
    Bytes data;
  };

  // Moves every arrival due by now into the driver's input queue.
  void Deliver();
  // Moment of the earliest pending arrival; false when none is pending.
  bool NextArrival(uint64_t& at) const;
  // Moves the clock to `at` (never backwards) and delivers what is due.
  void AdvanceTo(uint64_t at);
  // Logs the call; false (with the code in LastError) when the script makes it fail.
  bool Enter(Call call, const std::string& text);
  void Log(const std::string& text) { calls_.push_back(text); }

  platform::ManualClock& clock_;
  std::function<void(const Bytes&)> responder_;
  std::vector<Arrival> arrivals_;
  Bytes input_;
  Bytes written_;
  std::map<std::string, int> openErrors_;
  std::map<Call, int> failures_;
  std::vector<std::string> calls_;
  std::string openedPath_;
  Dcb state_{};
  size_t readCut_ = SIZE_MAX;
  int readCutCode_ = 0;
  uint32_t lineErrors_ = 0;
  uint32_t modemWord_ = 0;
  uint32_t outQueue_ = 0;
  uint64_t outEmptyAt_ = 0;
  uint32_t preparedQueue_ = 0;
  int writeCapacity_ = -1;
  int lastError_ = 0;
  bool open_ = false;
  bool rts_ = false;
  bool dtr_ = false;
};

}  // namespace trv
