#include "serial/CommPortLinux.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Clock.h"
#include "serial/LinuxTermios.h"

namespace trv {
namespace {

uint64_t Now() {
  return platform::SystemClock().Milliseconds();
}

uint64_t DeadlineAfter(int milliseconds) {
  return Now() + static_cast<uint64_t>(std::max(milliseconds, 0));
}

// Milliseconds left until deadline, 0 once it passed.
int Remaining(uint64_t deadline) {
  const uint64_t now = Now();
  if (now >= deadline) return 0;
  return static_cast<int>(std::min<uint64_t>(deadline - now, INT_MAX));
}

// A transfer's deadline, read off the clock only when the transfer first has to wait: one that
// completes at once (the usual case) never reads the clock.
class TransferDeadline {
 public:
  explicit TransferDeadline(int milliseconds) : milliseconds_(milliseconds) {}
  int Remaining() {
    if (!started_) {
      deadline_ = DeadlineAfter(milliseconds_);
      started_ = true;
    }
    return trv::Remaining(deadline_);
  }

 private:
  int milliseconds_;
  bool started_ = false;
  uint64_t deadline_ = 0;
};

constexpr short kHangUp = POLLHUP | POLLERR | POLLNVAL;

// The time the transmitter needs for queued bytes at baud (start, 8 data and stop bit: 10 bits
// a byte), never less than 1 ms.
int DrainTimeMs(int queued, uint32_t baud) {
  const uint64_t bits = static_cast<uint64_t>(queued) * 10u * 1000u;
  const uint64_t ms = bits / std::max<uint32_t>(baud, 1);
  return static_cast<int>(std::clamp<uint64_t>(ms, 1, INT_MAX));
}

// A pseudo-terminal, a USB adapter without RS-485 mode or an old UART driver does not
// understand the request; that is said plainly rather than as "inappropriate ioctl".
int Rs485Failure(int code) {
  return code == ENOTTY || code == EINVAL ? EOPNOTSUPP : code;
}

bool ValidState(const Dcb& dcb) {
  return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
         dcb.Parity <= dcb::kSpaceParity && dcb.StopBits <= dcb::kTwoStopBits;
}

}  // namespace

CommPortLinux::~CommPortLinux() {
  Close();
}

bool CommPortLinux::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail();
  if (!ClaimExclusive(fd) || !MakeRaw(fd)) {
    // Closing releases our flock; the TIOCEXCL of another holder stays as it is.
    ::close(fd);
    return false;
  }
  fd_ = fd;
  DropAhead();
  counters_ = {};
  hasCounters_ = true;
  // The mode outlives every open: learn whether a previous owner left it on.
  serial_rs485 rs485{};
  rtsToggle_ = ::ioctl(fd_, TIOCGRS485, &rs485) == 0 && (rs485.flags & SER_RS485_ENABLED) != 0;
  NewLineErrors();  // the baseline: only errors from now on count
  return true;
}

bool CommPortLinux::ClaimExclusive(int fd) {
  // flock stops every other opener, root included (TIOCEXCL does not stop root); a device that
  // someone else holds answers EBUSY, the code of a busy port.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail(errno == EWOULDBLOCK ? EBUSY : errno);
  // TIOCEXCL makes the open() itself fail with EBUSY for unprivileged processes.
  if (::ioctl(fd, TIOCEXCL) != 0) return Fail();
  return true;
}

bool CommPortLinux::MakeRaw(int fd) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return Fail();
  linux_tty::MakeRaw(tio);
  if (::ioctl(fd, TCSETS2, &tio) != 0) return Fail();
  baudRate_ = tio.c_ospeed;
  return true;
}

void CommPortLinux::Close() {
  if (fd_ < 0) return;
  // The exclusive flag belongs to the tty, not to this descriptor: clear it so that the next
  // opener is not refused because of us (a pty's other side may keep the tty alive).
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  DropAhead();
}

bool CommPortLinux::Fail() {
  return Fail(errno);
}

bool CommPortLinux::Fail(int code) {
  lastError_ = code;
  return false;
}

TransferOutcome CommPortLinux::FailTransfer(int code) {
  lastError_ = code;
  return TransferOutcome::Failed;
}

void CommPortLinux::Prepare(uint32_t inputQueueSize) {
  // Nothing to set up: no event mask exists on a tty (WaitEvent polls for what it is asked),
  // and Read itself completes when all requested bytes arrived or its deadline passed.
  SetupQueues(inputQueueSize);
}

void CommPortLinux::SetupQueues(uint32_t /*inputQueueSize*/) {
  // The tty layer's buffers have a fixed size; a request for another size is accepted and has
  // no effect, as drivers may do with SetupComm.
}

bool CommPortLinux::GetState(Dcb& dcb) {
  termios2 tio{};
  if (fd_ < 0) return Fail(EBADF);
  if (::ioctl(fd_, TCGETS2, &tio) != 0) return Fail();
  dcb = extras_;
  dcb.DCBlength = sizeof(Dcb);
  linux_tty::ReadLineSettings(tio, dcb);
  if (rtsToggle_) dcb.Flags = (dcb.Flags & ~dcb::kRtsControlMask) | dcb::kRtsControlToggle;
  baudRate_ = tio.c_ospeed;
  return true;
}

bool CommPortLinux::SetState(const Dcb& dcb) {
  termios2 tio{};
  if (fd_ < 0) return Fail(EBADF);
  if (!ValidState(dcb)) return Fail(EINVAL);
  if (::ioctl(fd_, TCGETS2, &tio) != 0) return Fail();
  const bool toggle = (dcb.Flags & dcb::kRtsControlMask) == dcb::kRtsControlToggle;
  if (toggle != rtsToggle_ && !ApplyRtsToggle(toggle)) return false;
  linux_tty::ApplyLineSettings(dcb, tio);
  if (::ioctl(fd_, TCSETS2, &tio) != 0) return Fail();
  extras_ = dcb;
  baudRate_ = dcb.BaudRate;
  return true;
}

bool CommPortLinux::ApplyRtsToggle(bool on) {
  serial_rs485 rs485{};
  if (::ioctl(fd_, TIOCGRS485, &rs485) != 0) {
    return Fail(Rs485Failure(errno));
  }
  rs485.flags &= ~(SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND);
  if (on) rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  if (::ioctl(fd_, TIOCSRS485, &rs485) != 0) {
    return Fail(Rs485Failure(errno));
  }
  rtsToggle_ = on;
  return true;
}

bool CommPortLinux::Purge(uint32_t flags) {
  if (fd_ < 0) return Fail(EBADF);
  const bool output = (flags & (comm::kPurgeTxAbort | comm::kPurgeTxClear)) != 0;
  const bool input = (flags & (comm::kPurgeRxAbort | comm::kPurgeRxClear)) != 0;
  if (!output && !input) return true;
  if (input) DropAhead();
  const int queue = output && input ? TCIOFLUSH : (output ? TCOFLUSH : TCIFLUSH);
  if (::ioctl(fd_, TCFLSH, queue) != 0) return Fail();
  return true;
}

bool CommPortLinux::Flush() {
  if (fd_ < 0) return Fail(EBADF);
  // TCSBRK with a non-zero argument sends no break: it only waits until the output drained.
  if (::ioctl(fd_, TCSBRK, 1) != 0) return Fail();
  return true;
}

int CommPortLinux::PollFor(short events, int timeoutMs) {
  pollfd entry{fd_, events, 0};
  // A negative time-out is poll's own "no limit".
  const int ready = ::poll(&entry, 1, timeoutMs);
  if (ready > 0) return entry.revents;
  // An interrupted wait counts as a quiet one: the callers recheck their deadline and go on.
  if (ready == 0 || errno == EINTR) return 0;
  Fail();
  return -1;
}

TransferOutcome CommPortLinux::Write(const char* data, int length, int deadlockMs,
                                     int& transferred) {
  transferred = 0;
  if (fd_ < 0) return FailTransfer(EBADF);
  TransferDeadline deadline(deadlockMs);
  while (transferred < length) {
    const ssize_t n = ::write(fd_, data + transferred, static_cast<size_t>(length - transferred));
    if (n > 0) {
      transferred += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return FailTransfer(errno);
    const int remaining = deadline.Remaining();
    // The deadlock time-out aborts the write: the rest of the block is never handed over, as a
    // cancelled overlapped write drops it. What the terminal took goes out and is counted;
    // flushing the output queue here would discard counted bytes.
    if (remaining == 0) return TransferOutcome::TimedOut;
    const int revents = PollFor(POLLOUT, remaining);
    if (revents < 0) return TransferOutcome::Failed;
    if ((revents & kHangUp) != 0) return FailTransfer(EIO);
  }
  return TransferOutcome::Completed;
}

TransferOutcome CommPortLinux::Read(char* data, int length, int deadlockMs, int& transferred) {
  transferred = 0;
  if (fd_ < 0) return FailTransfer(EBADF);
  transferred = static_cast<int>(TakeAhead(data, static_cast<size_t>(std::max(length, 0))));
  TransferDeadline deadline(deadlockMs);
  while (transferred < length) {
    const ssize_t n = ::read(fd_, data + transferred, static_cast<size_t>(length - transferred));
    if (n > 0) {
      transferred += static_cast<int>(n);
      continue;
    }
    if (n == 0) return FailTransfer(EIO);  // the end of the input: the line hung up
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return FailTransfer(errno);
    const int remaining = deadline.Remaining();
    if (remaining == 0) return TransferOutcome::TimedOut;
    const int revents = PollFor(POLLIN, remaining);
    if (revents < 0) return TransferOutcome::Failed;
    // A hung-up tty (the far end of a pty closed, an adapter unplugged) reports POLLHUP.
    if ((revents & kHangUp) != 0) return FailTransfer(EIO);
  }
  return TransferOutcome::Completed;
}

int CommPortLinux::OutputQueued() {
  int queued = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &queued) != 0) return 0;
  return std::max(queued, 0);
}

uint32_t CommPortLinux::NewLineErrors() {
  serial_icounter_struct now{};
  // Only UART drivers keep these counters; a pty or many USB adapters do not, and then the
  // line simply reports no errors. A driver that refused once refuses for good: it is not asked
  // again, which spares every queue query and transfer on such a line a failing system call.
  if (fd_ < 0 || !hasCounters_) return 0;
  if (::ioctl(fd_, TIOCGICOUNT, &now) != 0) {
    hasCounters_ = errno != ENOTTY && errno != EINVAL;
    return 0;
  }
  uint32_t flags = 0;
  if (now.frame != counters_.frame) flags |= comm::kCeFrame;
  if (now.overrun != counters_.overrun) flags |= comm::kCeOverrun;
  if (now.parity != counters_.parity) flags |= comm::kCeRxParity;
  if (now.buf_overrun != counters_.bufferOverrun) flags |= comm::kCeRxOver;
  counters_ = {now.frame, now.overrun, now.parity, now.buf_overrun};
  return flags;
}

bool CommPortLinux::FillAhead() {
  if (aheadBegin_ > 0) {
    std::memmove(ahead_.data(), ahead_.data() + aheadBegin_, AheadCount());
    aheadEnd_ -= aheadBegin_;
    aheadBegin_ = 0;
  }
  for (;;) {
    const size_t room = ahead_.size() - aheadEnd_;
    if (room == 0) return true;
    const ssize_t n = ::read(fd_, ahead_.data() + aheadEnd_, room);
    if (n > 0) aheadEnd_ += static_cast<size_t>(n);
    if (n > 0 || (n < 0 && errno == EAGAIN)) return true;
    if (n == 0 || errno != EINTR) return false;  // 0: the end of the input, the line hung up
  }
}

size_t CommPortLinux::TakeAhead(char* data, size_t length) {
  const size_t taken = std::min(length, AheadCount());
  std::memcpy(data, ahead_.data() + aheadBegin_, taken);
  aheadBegin_ += taken;
  if (aheadBegin_ == aheadEnd_) DropAhead();
  return taken;
}

bool CommPortLinux::DriverInputCount(uint32_t& count) {
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) return Fail();
  count = static_cast<uint32_t>(std::max(waiting, 0));
  return true;
}

bool CommPortLinux::ClearError(CommStatus& status) {
  status = {};
  if (fd_ < 0) return Fail(EBADF);
  if (!DriverInputCount(status.inQueue)) return false;
  status.inQueue += static_cast<uint32_t>(AheadCount());
  status.outQueue = static_cast<uint32_t>(OutputQueued());
  status.errors = NewLineErrors();
  return true;
}

// The receive path asks on every packet; the line errors stay counted until TakeLineErrors (or
// ClearError) reports them.
bool CommPortLinux::InputWaiting(uint32_t& count) {
  count = 0;
  if (fd_ < 0) return Fail(EBADF);
  // A read that fails (the far end hung up) moves nothing: the count then comes from the driver
  // as it would without the read-ahead. Where the driver no longer answers, bytes read ahead
  // before are still counted, so that they are handed out rather than stranded here; once they
  // are taken, the driver's failure reports the hung-up line.
  uint32_t beyond = 0;
  const bool filled = FillAhead();
  if ((!filled || AheadCount() == ahead_.size()) && !DriverInputCount(beyond) &&
      AheadCount() == 0) {
    return false;
  }
  count = static_cast<uint32_t>(AheadCount()) + beyond;
  return true;
}

bool CommPortLinux::TakeLineErrors(uint32_t& errors) {
  errors = 0;
  if (fd_ < 0) return Fail(EBADF);
  errors = NewLineErrors();
  return true;
}

void CommPortLinux::Escape(comm::Escape function) {
  if (fd_ < 0) return;
  int line = 0;
  unsigned long request = TIOCMBIS;
  switch (function) {
    case comm::Escape::SetRts:
      line = TIOCM_RTS;
      break;
    case comm::Escape::ClearRts:
      line = TIOCM_RTS, request = TIOCMBIC;
      break;
    case comm::Escape::SetDtr:
      line = TIOCM_DTR;
      break;
    case comm::Escape::ClearDtr:
      line = TIOCM_DTR, request = TIOCMBIC;
      break;
  }
  // A pty has no modem lines; the escape is unchecked, as the interface says.
  ::ioctl(fd_, request, &line);
}

bool CommPortLinux::ModemStatus(uint32_t& word) {
  word = 0;
  int lines = 0;
  if (fd_ < 0) return Fail(EBADF);
  if (::ioctl(fd_, TIOCMGET, &lines) != 0) return Fail();
  if ((lines & TIOCM_CTS) != 0) word |= comm::kMsCtsOn;
  if ((lines & TIOCM_DSR) != 0) word |= comm::kMsDsrOn;
  if ((lines & TIOCM_RNG) != 0) word |= comm::kMsRingOn;
  if ((lines & TIOCM_CAR) != 0) word |= comm::kMsRlsdOn;
  return true;
}

uint32_t CommPortLinux::WaitEvent(uint32_t mask, int timeoutMs) {
  mask &= comm::kEvRxChar | comm::kEvTxEmpty;
  if (fd_ < 0 || mask == 0) return 0;
  if ((mask & comm::kEvRxChar) != 0 && AheadCount() > 0) return comm::kEvRxChar;
  // A negative time-out waits without limit, as the Windows wait does with INFINITE; a hang-up
  // or the event still ends it.
  const bool forever = timeoutMs < 0;
  const uint64_t deadline = DeadlineAfter(timeoutMs);
  const bool forInput = (mask & comm::kEvRxChar) != 0;
  for (;;) {
    int waitMs = forever ? -1 : Remaining(deadline);
    if ((mask & comm::kEvTxEmpty) != 0) {
      // A tty has no event for "the transmitter ran empty" that poll() could wait on, and
      // tcdrain cannot be bounded by a time-out. So the queue is measured and the wait lasts as
      // long as the queued bytes need on the line at the current rate; then it is measured
      // again. On a pty the queue is always empty and this answers at once.
      const int queued = OutputQueued();
      if (queued == 0) return comm::kEvTxEmpty;
      const int drainMs = DrainTimeMs(queued, baudRate_);
      waitMs = forever ? drainMs : std::min(waitMs, drainMs);
    }
    // Without POLLIN in events, poll() still ends early on a hang-up: a timed wait that a dead
    // line cuts short.
    const int revents = PollFor(forInput ? POLLIN : 0, waitMs);
    // A hang-up is no data: the wait answers nothing, and the queue query or the read that
    // follows reports the failure.
    if (revents < 0 || (revents & kHangUp) != 0) return 0;
    if ((revents & POLLIN) != 0) return comm::kEvRxChar;
    if (forever) continue;  // a wait cut short by a signal, or a drain step, goes on
    // A wait for input that ran to its deadline was the kernel's look at the queue then; a wait
    // cut short by a signal goes on.
    if (mask == comm::kEvRxChar && Remaining(deadline) == 0) return comm::kEvQueueEmpty;
    if (waitMs == 0) return 0;  // the last look, taken at the deadline, found nothing
  }
}

bool CommPortLinux::SetBreak(bool on) {
  if (fd_ < 0) return Fail(EBADF);
  if (::ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) != 0) return Fail();
  return true;
}

std::unique_ptr<CommPort> CreateSystemCommPort() {
  return std::make_unique<CommPortLinux>();
}

std::string NumberedPortPath(int zeroBasedNumber) {
  return "/dev/ttyS" + std::to_string(zeroBasedNumber);
}

}  // namespace trv
