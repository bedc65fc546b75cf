#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/CommPort.h"
#include "serial/Dcb.h"

namespace trv {

// A Linux tty behind the port interface: a real serial device, a USB
// adapter or a pseudo-terminal. The file descriptor is non-blocking; reads, writes and event
// waits wait in poll() bounded by the caller's time-out. Only Flush waits in the driver, for as
// long as the output needs to drain.
//
// The input-queue query reads ahead: one read() takes what the driver holds into a buffer of
// this object and answers its size, and the read of those bytes that follows in the receive path
// is served from that buffer. A packet thus costs one system call where a count (FIONREAD) and
// a read would cost two. The buffer counts as part of the driver's input queue everywhere:
// queries, waits, reads and purges.
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
  // While bytes wait in the read-ahead buffer, the descriptor cannot announce them.
  intptr_t InputDescriptor() const override { return AheadCount() == 0 ? fd_ : -1; }

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
  // poll() is level-triggered: it answers at once for bytes already waiting.
  bool WaitSeesWaitingInput() const override { return true; }

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
  // Moves what the driver holds into the free room of the read-ahead buffer; false when read()
  // failed (a hung-up line), with nothing moved.
  bool FillAhead();
  // Hands out up to length bytes of the read-ahead buffer; answers how many.
  size_t TakeAhead(char* data, size_t length);
  size_t AheadCount() const { return aheadEnd_ - aheadBegin_; }
  void DropAhead() { aheadBegin_ = aheadEnd_ = 0; }
  // The count the driver gives of its input queue (beside the read-ahead buffer).
  bool DriverInputCount(uint32_t& count);
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
  // The driver's line buffer holds 4096 bytes (N_TTY_BUF_SIZE): one read of this size takes
  // all that it counts as waiting.
  std::array<char, 4096> ahead_{};
  size_t aheadBegin_ = 0;
  size_t aheadEnd_ = 0;
  // Fields of the device-control block that termios has no place for, kept as last set so that
  // reading the state back returns them.
  Dcb extras_{};
};

}  // namespace trv
