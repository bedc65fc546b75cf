#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/Dcb.h"

namespace trv {

// Event, purge, line-error and modem-status bits in the values of the Windows communications
// API. Every port backend speaks in these terms, so the serial class is one piece of logic.
namespace comm {
constexpr uint32_t kEvRxChar = 0x0001;   // a byte arrived
constexpr uint32_t kEvTxEmpty = 0x0004;  // the output queue ran empty

constexpr uint32_t kPurgeTxAbort = 0x0001;
constexpr uint32_t kPurgeRxAbort = 0x0002;
constexpr uint32_t kPurgeTxClear = 0x0004;
constexpr uint32_t kPurgeRxClear = 0x0008;
constexpr uint32_t kPurgeAll = 0x000F;

constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeTxFull = 0x0100;

constexpr uint32_t kMsCtsOn = 0x0010;
constexpr uint32_t kMsDsrOn = 0x0020;
constexpr uint32_t kMsRingOn = 0x0040;
constexpr uint32_t kMsRlsdOn = 0x0080;

enum class Escape : uint32_t { SetRts = 3, ClearRts = 4, SetDtr = 5, ClearDtr = 6 };

// Not a Windows event: a wait for input answers it alone when the wait itself looked at the input
// queue as it ended and found it empty (a level-triggered wait that ran to its deadline). Then
// nobody need ask the queue again just after the wait.
constexpr uint32_t kEvQueueEmpty = 0x8000'0000;
}  // namespace comm

// What ClearCommError reports: the line errors since the last call (cleared by the call) and the
// bytes waiting in the driver's input and output queues.
struct CommStatus {
  uint32_t errors = 0;
  uint32_t inQueue = 0;
  uint32_t outQueue = 0;
};

enum class TransferOutcome {
  Completed,  // everything asked for was transferred
  TimedOut,   // the deadlock time-out expired; the pending transfer was aborted
  Failed,     // the platform refused; LastError() tells why
};

// One serial device of the operating system, opened exclusively. Calls that can fail answer
// false (or TransferOutcome::Failed) and leave the platform's code in LastError(), the way
// Win32 calls leave it for GetLastError. Nothing here raises.
class CommPort {
 public:
  virtual ~CommPort() = default;

  // Opens the device for exclusive use. A device that does not exist leaves the code 2.
  virtual bool Open(const std::string& path) = 0;
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  // The platform's handle (a HANDLE or a file descriptor); -1 when closed.
  virtual intptr_t NativeHandle() const = 0;
  // A descriptor that a wait for input (poll) can watch, or -1 where the port has none.
  virtual intptr_t InputDescriptor() const { return -1; }

  // After opening: no events watched, the driver's input queue size, and reads that complete
  // when all requested bytes arrived (an interval of 65535 ms between bytes ends them early).
  virtual void Prepare(uint32_t inputQueueSize) = 0;
  // Asks the driver for an input queue of this size (SetupComm); unchecked.
  virtual void SetupQueues(uint32_t inputQueueSize) = 0;

  virtual bool GetState(Dcb& dcb) = 0;
  virtual bool SetState(const Dcb& dcb) = 0;
  virtual bool Purge(uint32_t flags) = 0;
  // Returns when the driver's output has been transmitted.
  virtual bool Flush() = 0;

  // Writes length bytes, waiting at most deadlockMs for the write to complete. On a time-out the
  // pending write is aborted and its unsent bytes discarded. transferred gets what went out.
  virtual TransferOutcome Write(const char* data, int length, int deadlockMs, int& transferred) = 0;
  // Reads until length bytes arrived, waiting at most deadlockMs. On a time-out the pending read
  // is aborted and transferred holds the bytes that did arrive.
  virtual TransferOutcome Read(char* data, int length, int deadlockMs, int& transferred) = 0;

  // Line-error flags and queue counts; clears the driver's error state.
  virtual bool ClearError(CommStatus& status) = 0;

  // The two halves of ClearError that the receive path asks for on every packet. A platform
  // that can answer one half alone, cheaper, overrides them; one that cannot (Windows: one call
  // answers both) uses ClearError, whose line errors the queue count then drops.
  virtual bool InputWaiting(uint32_t& count) {
    CommStatus status;
    if (!ClearError(status)) return false;
    count = status.inQueue;
    return true;
  }
  virtual bool TakeLineErrors(uint32_t& errors) {
    CommStatus status;
    if (!ClearError(status)) return false;
    errors = status.errors;
    return true;
  }

  // Drives RTS or DTR; the result is not reported.
  virtual void Escape(comm::Escape function) = 0;
  virtual bool ModemStatus(uint32_t& word) = 0;

  // Waits at most timeoutMs for one of the events of mask and answers the events that occurred
  // (0 when none did); a negative timeoutMs waits without limit. A wait that cannot be started,
  // or that a hung-up line ends, answers 0 at once.
  virtual uint32_t WaitEvent(uint32_t mask, int timeoutMs) = 0;
  // Whether WaitEvent answers kEvRxChar at once for bytes that were waiting before it began;
  // then nobody need ask the input queue just before waiting for input. Windows' event wait
  // reports only bytes that arrive while it waits.
  virtual bool WaitSeesWaitingInput() const { return false; }

  virtual bool SetBreak(bool on) = 0;

  // The platform's code of the last call that failed.
  virtual int LastError() const = 0;
};

// The serial port of this operating system.
std::unique_ptr<CommPort> CreateSystemCommPort();

// The platform's device path of the zero-based port number (\\.\COM1 for 0 on Windows,
// /dev/ttyS0 on Linux).
std::string NumberedPortPath(int zeroBasedNumber);

// True for the platform's own names of serial devices that are not numbered COM names: on
// Linux the paths under /dev/tty, /dev/pts/ and /dev/serial/; on Windows none.
bool IsPlatformSerialPath(const std::string& path);

}  // namespace trv
