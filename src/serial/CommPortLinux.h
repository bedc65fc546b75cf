#pragma once

#include <cstdint>
#include <string>

#include "serial/CommPort.h"
#include "serial/Dcb.h"

namespace trv {

// A Linux tty behind the port interface: a real serial device, a USB
// adapter or a pseudo-terminal. The file descriptor is non-blocking; reads, writes and event
// waits wait in poll() bounded by the caller's time-out. Only Flush waits in the driver, for as
// long as the output needs to drain.
class CommPortLinux final : public CommPort {
 public:
  CommPortLinux() = default;
  ~CommPortLinux() override;
  CommPortLinux(const CommPortLinux&) = delete;
  CommPortLinux& operator=(const CommPortLinux&) = delete;

  bool Open(const std::string& path) override;
  bool IsOpen() const override { return fd_ >= 0; }
  void Close() override;
  intptr_t NativeHandle() const override { return fd_; }
  intptr_t InputDescriptor() const override { return fd_; }

  void Prepare(uint32_t inputQueueSize) override;
  void SetupQueues(uint32_t inputQueueSize) override;

  bool GetState(Dcb& dcb) override;
  bool SetState(const Dcb& dcb) override;
  bool Purge(uint32_t flags) override;
  bool Flush() override;

  TransferOutcome Write(const char* data, int length, int deadlockMs, int& transferred) override;
  TransferOutcome Read(char* data, int length, int deadlockMs, int& transferred) override;

  bool ClearError(CommStatus& status) override;
  bool InputWaiting(uint32_t& count) override;
  bool TakeLineErrors(uint32_t& errors) override;

  void Escape(comm::Escape function) override;
  bool ModemStatus(uint32_t& word) override;

  uint32_t WaitEvent(uint32_t mask, int timeoutMs) override;

  bool SetBreak(bool on) override;

  int LastError() const override { return lastError_; }

 private:
  // Line-error counters of the driver, kept to report only what happened since the last call.
  struct ErrorCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int bufferOverrun = 0;
  };

  // Claims a freshly opened descriptor for this object alone; false (with EBUSY) when another
  // descriptor already holds the device.
  bool ClaimExclusive(int fd);
  // Raw line discipline, the way a Windows COM port delivers bytes.
  bool MakeRaw(int fd);
  // Records errno as the last error and answers false, for the one-line failure paths.
  bool Fail();
  bool Fail(int code);
  TransferOutcome FailTransfer(int code);

  // Waits at most timeoutMs for the descriptor to become ready for events (POLLIN/POLLOUT).
  // Answers the revents, 0 on a time-out, -1 on a failure of poll itself.
  int PollFor(short events, int timeoutMs);
  // The bytes in the driver's output queue; 0 when the driver cannot tell.
  int OutputQueued();
  // The line errors the driver counted since the previous call, as comm::kCe* flags.
  uint32_t NewLineErrors();
  // Switches the driver's RS-485 mode (RTS raised while sending, dropped when idle) on or off,
  // as the RTS-control bits of a device-control block ask; false with EOPNOTSUPP when the
  // driver has no such mode.
  bool ApplyRtsToggle(bool on);

  int fd_ = -1;
  int lastError_ = 0;
  uint32_t baudRate_ = 9600;
  // The driver is in RS-485 mode: the RTS-control bits read as toggle.
  bool rtsToggle_ = false;
  ErrorCounters counters_;
  // False once the driver said that it keeps no line-error counters.
  bool hasCounters_ = true;
  // Fields of the device-control block that termios has no place for, kept as last set so that
  // reading the state back returns them.
  Dcb extras_{};
};

}  // namespace trv
