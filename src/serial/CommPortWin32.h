#pragma once

#include <cstdint>
#include <string>

#include "serial/CommPort.h"

namespace trv {

// A serial device of Windows (\\.\COMn), opened for overlapped I/O so that every read, write and
// line-event wait is bounded by its time-out. The header stays free of <windows.h>: the handle is
// kept as the void* that HANDLE is.
class CommPortWin32 final : public CommPort {
 public:
  CommPortWin32() = default;
  ~CommPortWin32() override;
  CommPortWin32(const CommPortWin32&) = delete;
  CommPortWin32& operator=(const CommPortWin32&) = delete;

  bool Open(const std::string& path) override;
  bool IsOpen() const override;
  void Close() override;
  intptr_t NativeHandle() const override;

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
  enum class Direction { Out, In };

  // One overlapped ReadFile or WriteFile, waited for at most deadlockMs.
  TransferOutcome Transfer(Direction direction, char* data, int length, int deadlockMs,
                           int& transferred);
  // Result of one WaitCommEvent. early is set when the wait ended before its time-out without
  // any event, which Wine does on a pseudo-terminal.
  uint32_t WaitEventOnce(uint32_t mask, uint32_t timeoutMs, bool& early, bool& failed);
  // The events of mask that the queue counts show to hold already (bytes waiting for
  // EV_RXCHAR, an empty output queue for EV_TXEMPTY). A failed query answers 0 and sets *failed.
  uint32_t EventsFromQueues(uint32_t mask, bool* failed = nullptr);
  // Records GetLastError() as the code of the failed call; returns false for convenience.
  bool Fail();

  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE or nullptr when closed
  int lastError_ = 0;
};

}  // namespace trv
