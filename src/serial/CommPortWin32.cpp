#include "serial/CommPortWin32.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/TextWin32.h"

namespace trv {
namespace {

static_assert(sizeof(Dcb) == 28, "trv::Dcb is the 28-byte device-control block");
static_assert(sizeof(DCB) == 28, "the Windows DCB of this build is 28 bytes");
static_assert(comm::kEvRxChar == EV_RXCHAR && comm::kEvTxEmpty == EV_TXEMPTY);
static_assert(comm::kPurgeTxAbort == PURGE_TXABORT && comm::kPurgeRxAbort == PURGE_RXABORT);
static_assert(comm::kPurgeTxClear == PURGE_TXCLEAR && comm::kPurgeRxClear == PURGE_RXCLEAR);
static_assert(comm::kCeRxOver == CE_RXOVER && comm::kCeOverrun == CE_OVERRUN);
static_assert(comm::kCeRxParity == CE_RXPARITY && comm::kCeFrame == CE_FRAME);
static_assert(comm::kCeTxFull == CE_TXFULL);
static_assert(comm::kMsCtsOn == MS_CTS_ON && comm::kMsDsrOn == MS_DSR_ON);
static_assert(comm::kMsRingOn == MS_RING_ON && comm::kMsRlsdOn == MS_RLSD_ON);
static_assert(static_cast<DWORD>(comm::Escape::SetRts) == SETRTS);
static_assert(static_cast<DWORD>(comm::Escape::ClearRts) == CLRRTS);
static_assert(static_cast<DWORD>(comm::Escape::SetDtr) == SETDTR);
static_assert(static_cast<DWORD>(comm::Escape::ClearDtr) == CLRDTR);

// Time-outs in milliseconds as WaitForSingleObject takes them: a negative one waits forever.
DWORD WaitTime(int milliseconds) {
  return milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
}

HANDLE AsHandle(void* handle) {
  return static_cast<HANDLE>(handle);
}

// Closes an event object when the scope ends.
struct EventCloser {
  void operator()(void* event) const { CloseHandle(AsHandle(event)); }
};
using EventHandle = std::unique_ptr<void, EventCloser>;

// Watches no line events any more when the scope ends; this also ends a WaitCommEvent that is
// still pending.
class MaskReset {
 public:
  explicit MaskReset(HANDLE port) : port_(port) {}
  ~MaskReset() { SetCommMask(port_, 0); }
  MaskReset(const MaskReset&) = delete;
  MaskReset& operator=(const MaskReset&) = delete;

 private:
  HANDLE port_;
};

// Back-off between polls of the queue counts when the system cannot wait for line events:
// prompt answers are seen within a few milliseconds, and a long silent wait polls every 20 ms
// (under Wine each poll costs a few hundred microseconds: about 4 % of a CPU, where 5 ms cost
// 12 %).
constexpr DWORD kFirstBackoffMs = 1;
constexpr DWORD kLongestBackoffMs = 20;

}  // namespace

CommPortWin32::~CommPortWin32() {
  Close();
}

bool CommPortWin32::Open(const std::string& path) {
  Close();
  const std::wstring name = platform::Utf8ToWide(path);
  SetLastError(0);
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  handle_ = handle;
  return true;
}

bool CommPortWin32::IsOpen() const {
  return handle_ != nullptr;
}

void CommPortWin32::Close() {
  if (handle_ == nullptr) return;
  CloseHandle(AsHandle(handle_));
  handle_ = nullptr;
}

intptr_t CommPortWin32::NativeHandle() const {
  return handle_ != nullptr ? reinterpret_cast<intptr_t>(handle_) : -1;
}

void CommPortWin32::Prepare(uint32_t inputQueueSize) {
  HANDLE port = AsHandle(handle_);
  SetCommMask(port, 0);
  SetupComm(port, inputQueueSize, 0);
  // No total time-outs: a read ends when all its bytes arrived, or after 65535 ms of silence
  // between two bytes. The deadlock time-out of Read bounds it anyway.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 0xFFFF;
  SetCommTimeouts(port, &timeouts);
}

void CommPortWin32::SetupQueues(uint32_t inputQueueSize) {
  SetupComm(AsHandle(handle_), inputQueueSize, 0);
}

bool CommPortWin32::GetState(Dcb& dcb) {
  DCB state{};
  state.DCBlength = sizeof(DCB);
  if (!GetCommState(AsHandle(handle_), &state)) return Fail();
  std::memcpy(&dcb, &state, sizeof dcb);
  return true;
}

bool CommPortWin32::SetState(const Dcb& dcb) {
  DCB state;
  std::memcpy(&state, &dcb, sizeof state);
  if (!SetCommState(AsHandle(handle_), &state)) return Fail();
  return true;
}

bool CommPortWin32::Purge(uint32_t flags) {
  if (!PurgeComm(AsHandle(handle_), flags)) return Fail();
  return true;
}

bool CommPortWin32::Flush() {
  if (!FlushFileBuffers(AsHandle(handle_))) return Fail();
  return true;
}

TransferOutcome CommPortWin32::Write(const char* data, int length, int deadlockMs,
                                     int& transferred) {
  // WriteFile only reads from the buffer; the shared transfer code takes it non-const.
  return Transfer(Direction::Out, const_cast<char*>(data), length, deadlockMs, transferred);
}

TransferOutcome CommPortWin32::Read(char* data, int length, int deadlockMs, int& transferred) {
  return Transfer(Direction::In, data, length, deadlockMs, transferred);
}

TransferOutcome CommPortWin32::Transfer(Direction direction, char* data, int length, int deadlockMs,
                                        int& transferred) {
  transferred = 0;
  HANDLE port = AsHandle(handle_);
  const DWORD size = length > 0 ? static_cast<DWORD>(length) : 0;
  // No event in the OVERLAPPED: the port handle itself is signalled when the transfer ends.
  OVERLAPPED overlapped{};
  DWORD count = 0;
  const BOOL done = direction == Direction::Out ? WriteFile(port, data, size, &count, &overlapped)
                                                : ReadFile(port, data, size, &count, &overlapped);
  if (done) {
    count = 0;
    GetOverlappedResult(port, &overlapped, &count, FALSE);
    transferred = static_cast<int>(count);
    return TransferOutcome::Completed;
  }
  const DWORD code = GetLastError();
  if (code != ERROR_IO_PENDING) {
    lastError_ = static_cast<int>(code);
    return TransferOutcome::Failed;
  }

  TransferOutcome outcome = TransferOutcome::Completed;
  if (WaitForSingleObject(port, WaitTime(deadlockMs)) == WAIT_TIMEOUT) {
    PurgeComm(port, direction == Direction::Out ? PURGE_TXABORT : PURGE_RXABORT);
    outcome = TransferOutcome::TimedOut;
  }
  count = 0;
  if (!GetOverlappedResult(port, &overlapped, &count, FALSE) &&
      GetLastError() == ERROR_IO_INCOMPLETE) {
    // The aborted transfer has not ended yet (Wine's purge does not end a pending read). The
    // OVERLAPPED and the buffer belong to the system until it does, so cancel it and wait for
    // the cancellation to land before they go out of scope.
    CancelIo(port);
    count = 0;
    GetOverlappedResult(port, &overlapped, &count, TRUE);
  }
  transferred = static_cast<int>(count);
  return outcome;
}

bool CommPortWin32::ClearError(CommStatus& status) {
  DWORD errors = 0;
  COMSTAT comStat{};
  if (!ClearCommError(AsHandle(handle_), &errors, &comStat)) return Fail();
  status.errors = errors;
  status.inQueue = comStat.cbInQue;
  status.outQueue = comStat.cbOutQue;
  return true;
}

void CommPortWin32::Escape(comm::Escape function) {
  EscapeCommFunction(AsHandle(handle_), static_cast<DWORD>(function));
}

bool CommPortWin32::ModemStatus(uint32_t& word) {
  DWORD status = 0;
  if (!GetCommModemStatus(AsHandle(handle_), &status)) return Fail();
  word = status;
  return true;
}

uint32_t CommPortWin32::WaitEvent(uint32_t mask, int timeoutMs) {
  const bool forever = timeoutMs < 0;
  const ULONGLONG deadline = GetTickCount64() + (forever ? 0 : static_cast<ULONGLONG>(timeoutMs));
  auto remaining = [&]() -> DWORD {
    if (forever) return INFINITE;
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
  };

  DWORD backoff = kFirstBackoffMs;
  for (;;) {
    bool early = false;
    bool failed = false;
    const uint32_t events = WaitEventOnce(mask, remaining(), early, failed);
    if (events != 0 || failed || !early) return events;

    // Degraded case: the wait ended before its time-out without an event. Wine does this on a
    // pseudo-terminal (WaitCommEvent completes at once with error 995 and an empty mask), so it
    // cannot wait for line events there. The queue counts tell whether the event holds already;
    // otherwise poll them with a short growing back-off until the time-out expires. Only this
    // case sleeps; a system that can wait for line events never gets here.
    bool dead = false;
    const uint32_t held = EventsFromQueues(mask, &dead);
    // A line whose queues cannot be read any more (a hung-up or vanished device) ends the wait,
    // also one without limit; the caller's queue query reports the failure.
    if (held != 0 || dead) return held;
    const DWORD left = remaining();
    if (left == 0) return 0;
    Sleep(std::min(backoff, left));
    backoff = std::min(backoff * 2, kLongestBackoffMs);
  }
}

uint32_t CommPortWin32::WaitEventOnce(uint32_t mask, uint32_t timeoutMs, bool& early,
                                      bool& failed) {
  early = false;
  failed = false;
  HANDLE port = AsHandle(handle_);
  EventHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) {
    failed = true;
    Fail();
    return 0;
  }
  // Declared after the event, so the mask is reset (ending any pending wait) before the event
  // is closed.
  MaskReset reset(port);

  OVERLAPPED overlapped{};
  overlapped.hEvent = AsHandle(event.get());
  DWORD received = 0;
  SetCommMask(port, mask);
  // A byte that arrived after the caller last looked at the queue but before the mask was set
  // raised no event; with the mask in place, one look at the queue closes that gap.
  if (const uint32_t waiting = EventsFromQueues(mask & EV_RXCHAR); waiting != 0) return waiting;
  if (!WaitCommEvent(port, &received, &overlapped)) {
    const DWORD code = GetLastError();
    if (code == ERROR_IO_PENDING) {
      const DWORD waited = WaitForSingleObject(AsHandle(event.get()), timeoutMs);
      // An empty mask ends the wait if it is still pending; the result then holds no event.
      SetCommMask(port, 0);
      DWORD unused = 0;
      GetOverlappedResult(port, &overlapped, &unused, TRUE);
      // On a time-out, an event that came at the last moment still counts.
      if (waited != WAIT_OBJECT_0) return received & mask;
    } else if (code != ERROR_OPERATION_ABORTED) {
      // The wait could not be started.
      lastError_ = static_cast<int>(code);
      failed = true;
      return 0;
    }
  }
  const uint32_t events = received & mask;
  early = events == 0;
  return events;
}

uint32_t CommPortWin32::EventsFromQueues(uint32_t mask, bool* failed) {
  // ClearCommError also clears the line-error flags; on the systems that come here (Wine on a
  // pseudo-terminal) there are none to lose.
  CommStatus status;
  if (!ClearError(status)) {
    if (failed != nullptr) *failed = true;
    return 0;
  }
  uint32_t events = 0;
  if ((mask & EV_RXCHAR) != 0 && status.inQueue > 0) events |= EV_RXCHAR;
  if ((mask & EV_TXEMPTY) != 0 && status.outQueue == 0) events |= EV_TXEMPTY;
  return events;
}

bool CommPortWin32::SetBreak(bool on) {
  const BOOL done = on ? SetCommBreak(AsHandle(handle_)) : ClearCommBreak(AsHandle(handle_));
  if (!done) return Fail();
  return true;
}

bool CommPortWin32::Fail() {
  lastError_ = static_cast<int>(GetLastError());
  return false;
}

std::unique_ptr<CommPort> CreateSystemCommPort() {
  return std::make_unique<CommPortWin32>();
}

std::string NumberedPortPath(int zeroBasedNumber) {
  return "\\\\.\\COM" + std::to_string(zeroBasedNumber + 1);
}

}  // namespace trv
