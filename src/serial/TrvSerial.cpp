#include "serial/TrvSerial.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/Clock.h"
#include "platform/SystemError.h"
#include "platform/Text.h"
#include "serial/TrvSerialUtil.h"

namespace trv {
namespace {

using namespace serial_error;

// Whether the text begins with the upper-case prefix, in any case ("com1" as "COM1").
bool StartsWithUpper(const std::string& text, std::string_view prefix) {
  return platform::AsciiUpper(text.substr(0, prefix.size())) == prefix;
}

// What is left of a time budget after `spent` ms; at most the budget, never below INT_MIN.
int RemainingBudget(int budget, uint32_t spent) {
  return static_cast<int>(std::max<int64_t>(int64_t{budget} - int64_t{spent}, INT32_MIN));
}

// The texts of this class's own codes; nullptr for a platform code.
const char* OwnErrorText(int errorCode) {
  switch (errorCode) {
    case 0:
      return "OK";
    case kAlreadyOwned:
      return "Port owned by other process";
    case kAlreadyInUse:
      return "Instance already in use";
    case kWrongParameter:
      return "Wrong parameter at call";
    case kPortNotOpen:
      return "Instance not yet connected";
    case kNoDeviceAnswer:
      return "No device answer detected";
    case kMaxBuffer:
      return "Maximal buffer length exceeded";
    case kTimeout:
      return "Timeout during operation";
    case kNotRead:
      return "Reading of data failed";
    case kFrame:
      return "Receive framing error";
    case kOverrun:
      return "Receive Overrun Error";
    case kRxOver:
      return "Receive Queue overflow";
    case kRxParity:
      return "Receive Parity Error";
    case kTxFull:
      return "Tranceive Queue is full";
    default:
      return nullptr;
  }
}

}  // namespace

TTrvSerial::TTrvSerial() : TTrvSerial(CreateSystemCommPort()) {}

TTrvSerial::TTrvSerial(std::unique_ptr<CommPort> port) : port_(std::move(port)) {
  SetSerialError(0);
}

TTrvSerial::~TTrvSerial() {
  // Closing may fail (a purge refused by a vanished device); a destructor must not raise.
  FRaiseExcept = false;
  try {
    CloseSocket();
  } catch (...) {
  }
}

// ---- Opening and closing ------------------------------------------------------------------

void TTrvSerial::Connect(const std::string& comport) {
  if (FInstanceActive) {
    RaiseSerialError(kAlreadyInUse);
    return;
  }
  FBuffer.clear();
  FDevice = comport;
  ParsePortNumber(comport);
  if (FComNr != -1) FDevice = NumberedPortPath(FComNr);
  SerialCheck(port_->Open(FDevice) ? 0 : -1);
  ExceptCheck();
  if (FLastError != 0) return;

  port_->Prepare(static_cast<uint32_t>(FRecvBuffer));
  FPortAddr = QueryPortAddress();
  SetSerialError(0);
  if (ModemLinesReady()) {
    FInstanceActive = true;
    SetRTS(true);
    SetDTR(true);
    Purge();
  } else {
    SetSerialError(kNoDeviceAnswer);
    port_->Close();
    FComNr = -1;
  }
  ExceptCheck();
  ReportStatus(HR_Connect, FDevice);
}

void TTrvSerial::ParsePortNumber(const std::string& name) {
  FComNr = -1;
  int number = 0;
  if (StartsWithUpper(name, "COM")) {
    if (!platform::ParseWholeInteger(std::string_view(name).substr(3), number)) number = 0;
    FComNr = number == INT32_MIN ? INT32_MAX : number - 1;
  }
  if (StartsWithUpper(name, "/DEV/TTYS")) {
    FComNr = platform::ParseWholeInteger(std::string_view(name).substr(9), number) ? number : -2;
  }
}

void TTrvSerial::CloseSocket() {
  if (port_->IsOpen()) {
    Purge();
    SetRTS(false);
    SetDTR(false);
    port_->Close();
  }
  FInstanceActive = false;
  FComNr = -1;
  SetSerialError(0);
  ReportStatus(HR_SerialClose, FDevice);
}

// ---- Line configuration -------------------------------------------------------------------

void TTrvSerial::Config(int baud, int bits, char parity, int stop, bool softflow, bool hardflow) {
  FDCB = Dcb{};
  GetCommState();
  FDCB.DCBlength = sizeof(Dcb);
  FDCB.BaudRate = static_cast<uint32_t>(baud);
  FDCB.ByteSize = static_cast<uint8_t>(bits);
  switch (parity) {
    case 'N':
    case 'n':
      FDCB.Parity = dcb::kNoParity;
      break;
    case 'O':
    case 'o':
      FDCB.Parity = dcb::kOddParity;
      break;
    case 'E':
    case 'e':
      FDCB.Parity = dcb::kEvenParity;
      break;
    case 'M':
    case 'm':
      FDCB.Parity = dcb::kMarkParity;
      break;
    case 'S':
    case 's':
      FDCB.Parity = dcb::kSpaceParity;
      break;
    default:
      break;  // keeps what the driver had
  }
  FDCB.StopBits = static_cast<uint8_t>(stop);
  FDCB.XonChar = 17;   // DC1
  FDCB.XoffChar = 19;  // DC3
  FDCB.XonLim = static_cast<uint16_t>(FRecvBuffer / 4);
  FDCB.XoffLim = static_cast<uint16_t>(FRecvBuffer / 4);

  uint32_t flags = dcb::kBinary | dcb::kDtrControlEnable;
  if (softflow) flags |= dcb::kOutX | dcb::kInX;
  flags |= hardflow ? (dcb::kOutxCtsFlow | dcb::kRtsControlHandshake) : dcb::kRtsControlEnable;
  if (FDCB.Parity != dcb::kNoParity) flags |= dcb::kParity;
  FDCB.Flags = flags;
  SetCommState();
}

void TTrvSerial::GetCommState() {
  SetSerialError(0);
  if (!port_->GetState(FDCB)) SerialCheck(-1);
  ExceptCheck();
}

void TTrvSerial::SetCommState() {
  SetSerialError(0);
  if (!port_->SetState(FDCB)) SerialCheck(-1);
  ExceptCheck();
}

void TTrvSerial::SetSizeRecvBuffer(int size) {
  port_->SetupQueues(static_cast<uint32_t>(size));
  GetCommState();
  FDCB.XonLim = static_cast<uint16_t>(size / 4);
  FDCB.XoffLim = static_cast<uint16_t>(size / 4);
  SetCommState();
  FRecvBuffer = size;
}

void TTrvSerial::Purge() {
  SetSerialError(0);
  if (!port_->Purge(comm::kPurgeAll)) SerialCheck(-1);
  FBuffer.clear();
  ExceptCheck();
}

void TTrvSerial::Flush() {
  SetSerialError(0);
  if (!port_->Flush()) SerialCheck(-1);
  ExceptCheck();
}

// ---- Modem lines --------------------------------------------------------------------------

uint32_t TTrvSerial::ModemStatus() {
  uint32_t word = 0;
  SetSerialError(0);
  if (!port_->ModemStatus(word)) SerialCheck(-1);
  ExceptCheck();
  FModemWord = word;
  return word;
}

bool TTrvSerial::CTS() {
  return (ModemStatus() & comm::kMsCtsOn) != 0;
}
bool TTrvSerial::DSR() {
  return (ModemStatus() & comm::kMsDsrOn) != 0;
}
bool TTrvSerial::Ring() {
  return (ModemStatus() & comm::kMsRingOn) != 0;
}
bool TTrvSerial::Carrier() {
  return (ModemStatus() & comm::kMsRlsdOn) != 0;
}

void TTrvSerial::SetRTS(bool value) {
  port_->Escape(value ? comm::Escape::SetRts : comm::Escape::ClearRts);
}

void TTrvSerial::SetDTR(bool value) {
  port_->Escape(value ? comm::Escape::SetDtr : comm::Escape::ClearDtr);
}

bool TTrvSerial::ModemLinesReady() {
  if (FTestDSR && !DSR()) return false;
  if (FTestCTS && !CTS()) return false;
  return true;
}

bool TTrvSerial::IoNotReady() {
  if (!FInstanceActive) {
    RaiseSerialError(kPortNotOpen);
    return true;
  }
  if (!ModemLinesReady()) {
    RaiseSerialError(kNoDeviceAnswer);
    return true;
  }
  return false;
}

// The port's base address and the transmitter test exist only on the old Windows family;
// every current platform takes the NT branch: no address, and the transmitter reads empty.
uint16_t TTrvSerial::QueryPortAddress() {
  return 0;
}
bool TTrvSerial::TransmitterEmpty(uint16_t) {
  return true;
}

// ---- Transmission -------------------------------------------------------------------------

int TTrvSerial::SendBuffer(const char* buffer, int length) {
  if (IoNotReady()) return 0;
  length = std::max(length, 0);
  ThrottleBandwidth(length, FMaxSendBandwidth, FNextSend);
  if (FRTSToggle) {
    Flush();
    SetRTS(true);
  }
  SetSerialError(0);
  int count = 0;
  RecordTransfer(port_->Write(buffer, length, FDeadlockTimeout, count));
  CheckLineErrors();
  if (FRTSToggle) {
    Flush();
    CanWrite(255);
    SetRTS(false);
  }
  ExceptCheck();
  ReportStatus(HR_WriteCount, std::to_string(count));
  return count;
}

void TTrvSerial::SendByte(char data) {
  SendBuffer(&data, 1);
}

void TTrvSerial::SendString(const Bytes& data) {
  SendBuffer(data.data(), static_cast<int>(std::min<size_t>(data.size(), INT32_MAX)));
}

void TTrvSerial::RecordTransfer(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Completed:
      break;
    case TransferOutcome::TimedOut:
      SetSerialError(kTimeout);
      break;
    case TransferOutcome::Failed:
      SetSerialError(port_->LastError());
      break;
  }
}

void TTrvSerial::CheckLineErrors() {
  uint32_t errors = 0;
  if (port_->TakeLineErrors(errors) && errors != 0) MapCommErrors(errors);
}

// ---- Queue counts and waits ---------------------------------------------------------------

int TTrvSerial::SendingData() {
  SetSerialError(0);
  CommStatus status;
  const bool ok = port_->ClearError(status);
  if (!ok) SerialCheck(-1);
  ExceptCheck();
  return ok ? static_cast<int>(status.outQueue) : 0;
}

int TTrvSerial::WaitingData() {
  uint32_t waiting = 0;
  int count = 0;
  if (port_->InputWaiting(waiting)) {
    SetSerialError(0);
    count = static_cast<int>(std::min<uint32_t>(waiting, INT32_MAX));
  } else {
    SerialCheck(-1);
  }
  ExceptCheck();
  return count;
}

int TTrvSerial::WaitingDataEx() {
  if (!FBuffer.empty()) return static_cast<int>(std::min<size_t>(FBuffer.size(), INT32_MAX));
  return WaitingData();
}

uint32_t TTrvSerial::AwaitLineEvents(uint32_t mask, int timeout) {
  SetSerialError(0);
  const bool forInput = mask == comm::kEvRxChar;
  const bool waitLooksAtQueue = port_->WaitSeesWaitingInput();
  // Where the wait itself answers for bytes already waiting, asking first would only repeat it.
  if (forInput && !waitLooksAtQueue && WaitingData() > 0) return comm::kEvRxChar;
  // The time-out reaches the platform unchanged: a negative one waits without limit.
  const uint32_t events = port_->WaitEvent(mask, timeout);
  if (!forInput || !waitLooksAtQueue || events != 0) return events;
  // The wait stood in for the queue query but ended without looking at the queue (a hung-up
  // line ends it so): the queue is asked now, and its failure is this call's code, raised when
  // asked for, as if it had been asked first.
  return WaitingData() > 0 ? comm::kEvRxChar : comm::kEvQueueEmpty;
}

bool TTrvSerial::WaitForLineEvent(uint32_t mask, int timeout) {
  return (AwaitLineEvents(mask, timeout) & mask) == mask;
}

bool TTrvSerial::CanRead(int timeout) {
  // The line-event wait looks at the input queue first itself (or its platform wait answers
  // for bytes already waiting): no need to ask twice. Nor after a wait that looked at the
  // queue as it ended; any other empty answer is checked by asking.
  const uint32_t events = AwaitLineEvents(comm::kEvRxChar, timeout);
  bool ready = (events & comm::kEvRxChar) != 0;
  if (!ready && (events & comm::kEvQueueEmpty) == 0) ready = WaitingData() > 0;
  if (ready) ReportStatus(HR_CanRead, "");
  return ready;
}

bool TTrvSerial::CanReadEx(int timeout) {
  return !FBuffer.empty() || CanRead(timeout);
}

bool TTrvSerial::CanWrite(int timeout) {
  bool ready = SendingData() == 0;
  if (!ready) ready = WaitForLineEvent(comm::kEvTxEmpty, timeout);
  if (ready) ReportStatus(HR_CanWrite, "");
  return ready;
}

void TTrvSerial::ThrottleBandwidth(int count, int limit, uint64_t& next) {
  if (limit <= 0) return;
  platform::Clock& clock = platform::CurrentClock();
  const uint64_t now = clock.Milliseconds();
  if (next > now) {
    const uint64_t wait = next - now;
    ReportStatus(HR_Wait, std::to_string(wait));
    clock.Sleep(static_cast<uint32_t>(std::min<uint64_t>(wait, UINT32_MAX)));
  }
  const auto pause = static_cast<int64_t>(std::trunc(double(count) / double(limit) * 1000.0));
  next = clock.Milliseconds() + static_cast<uint64_t>(std::max<int64_t>(pause, 0));
}

void TTrvSerial::SetMaxBandwidth(int value) {
  FMaxSendBandwidth = value;
  FMaxRecvBandwidth = value;
}

// ---- Error model --------------------------------------------------------------------------

void TTrvSerial::SetSerialError(int errNumber) {
  FLastError = errNumber;
  // An own text is copied into the storage the last one left: the receive path, which sets a
  // code at every step, allocates nothing for it.
  if (const char* own = OwnErrorText(errNumber)) {
    FLastErrorDesc.assign(own);
  } else {
    FLastErrorDesc = platform::SystemErrorText(errNumber);
  }
}

int TTrvSerial::SerialCheck(int serialResult) {
  const int code = serialResult == -1 ? port_->LastError() : 0;
  SetSerialError(code);
  return code;
}

void TTrvSerial::ExceptCheck() {
  if (!FRaiseExcept || FLastError == 0) return;
  throw ETrvSerialError(FLastError, GetErrorDesc(FLastError));
}

void TTrvSerial::RaiseSerialError(int errNumber) {
  SetSerialError(errNumber);
  ExceptCheck();
}

void TTrvSerial::MapCommErrors(uint32_t flags) {
  // Tested in this order, each match overwriting the last: the last match wins.
  if ((flags & comm::kCeFrame) != 0) FLastError = kFrame;
  if ((flags & comm::kCeOverrun) != 0) FLastError = kOverrun;
  if ((flags & comm::kCeRxOver) != 0) FLastError = kRxOver;
  if ((flags & comm::kCeRxParity) != 0) FLastError = kRxParity;
  if ((flags & comm::kCeTxFull) != 0) FLastError = kTxFull;
}

std::string TTrvSerial::GetErrorDesc(int errorCode) {
  const char* own = OwnErrorText(errorCode);
  return own != nullptr ? std::string(own) : platform::SystemErrorText(errorCode);
}

void TTrvSerial::ReportStatus(THookSerialReason reason, const std::string& value) {
  if (FOnStatus) FOnStatus(this, reason, value);
}

// ---- Reception ----------------------------------------------------------------------------

int TTrvSerial::RecvBuffer(char* buffer, int length) {
  if (IoNotReady()) return 0;
  length = std::max(length, 0);
  ThrottleBandwidth(length, FMaxRecvBandwidth, FNextRecv);
  SetSerialError(0);
  int count = 0;
  RecordTransfer(port_->Read(buffer, length, FDeadlockTimeout, count));
  CheckLineErrors();
  ExceptCheck();
  ReportStatus(HR_ReadCount, std::to_string(count));
  return count;
}

int TTrvSerial::RecvBufferUnraised(char* buffer, int length) {
  const bool raise = std::exchange(FRaiseExcept, false);
  int received = 0;
  try {
    received = RecvBuffer(buffer, length);
  } catch (...) {
    FRaiseExcept = raise;
    throw;
  }
  FRaiseExcept = raise;
  return std::max(received, 0);
}

void TTrvSerial::AppendWaiting(Bytes& into, int count) {
  const size_t before = into.size();
  into.resize(before + static_cast<size_t>(count));
  const int received = RecvBufferUnraised(into.data() + before, count);
  // What the read did receive stays in `into` also when its failure is raised.
  into.resize(before + static_cast<size_t>(received));
  ExceptCheck();
}

int TTrvSerial::AwaitPacket(int timeout) {
  platform::CurrentClock().Yield();
  int waiting = WaitingData();
  if (waiting <= 0 && CanRead(timeout)) waiting = WaitingData();
  // A failed queue query keeps its platform code: it tells more than a time-out would.
  if (waiting <= 0 && FLastError == 0) SetSerialError(kTimeout);
  return std::max(waiting, 0);
}

Bytes TTrvSerial::RecvPacket(int timeout) {
  Bytes result;
  AppendPacketKeeping(result, timeout);
  return result;
}

void TTrvSerial::AppendPacket(Bytes& into, int timeout) {
  if (IoNotReady()) return;
  SetSerialError(0);
  if (!FBuffer.empty()) {
    if (into.empty()) {
      into.swap(FBuffer);
    } else {
      into += FBuffer;
    }
    FBuffer.clear();
  } else if (const int waiting = AwaitPacket(timeout); waiting > 0) {
    AppendWaiting(into, waiting);
  }
  ExceptCheck();
}

size_t TTrvSerial::TakePacket(char* into, size_t room, int timeout) {
  if (IoNotReady()) return 0;
  SetSerialError(0);
  if (FBuffer.empty()) {
    const int waiting = AwaitPacket(timeout);
    if (waiting > 0 && static_cast<size_t>(waiting) <= room) return TakeWaiting(into, waiting);
    // A packet larger than the room passes through the line buffer, which keeps its rest.
    if (waiting > 0) AppendWaiting(FBuffer, waiting);
  }
  const size_t taken = std::min(room, FBuffer.size());
  FBuffer.copy(into, taken);
  FBuffer.erase(0, taken);
  ExceptCheck();
  return taken;
}

size_t TTrvSerial::TakeWaiting(char* into, int count) {
  const int received = RecvBufferUnraised(into, count);
  // A failure about to be raised would lose what the read did receive: the line buffer (empty
  // when a packet is read straight into place) keeps it for the next call.
  if (FRaiseExcept && FLastError != 0) FBuffer.assign(into, static_cast<size_t>(received));
  ExceptCheck();
  return static_cast<size_t>(received);
}

void TTrvSerial::AppendPacketKeeping(Bytes& received, int timeout) {
  try {
    AppendPacket(received, timeout);
  } catch (...) {
    // The failure is raised to the caller; what was received so far stays for the next call.
    FBuffer.insert(0, received);
    throw;
  }
}

bool TTrvSerial::PacketBudgetLeft(int& timeout, uint32_t packetStart) {
  if (FInterPacketTimeout) return true;
  timeout = RemainingBudget(timeout, TickDifference(packetStart, MillisecondTick()));
  if (timeout > 0) return true;
  SetSerialError(kTimeout);
  return false;
}

Bytes TTrvSerial::Gather(size_t length, int timeout) {
  // Grown once for the usual lengths; a huge one asked for grows as bytes really come.
  constexpr size_t kReserveLimit = size_t{4} << 20;
  Bytes stored;
  stored.reserve(std::min(length, kReserveLimit));
  for (;;) {
    const uint32_t t0 = MillisecondTick();
    AppendPacketKeeping(stored, timeout);
    if (FLastError != 0 || stored.size() >= length) break;
    if (!PacketBudgetLeft(timeout, t0)) break;
  }
  // The rest of the last packet becomes the line buffer (which that packet emptied).
  if (stored.size() > length) {
    FBuffer.assign(stored, length);
    stored.resize(length);
  }
  return stored;
}

int TTrvSerial::RecvBufferEx(char* buffer, int length, int timeout) {
  if (IoNotReady()) return 0;
  SetSerialError(0);
  const size_t wanted = static_cast<size_t>(std::max(length, 0));
  size_t stored = 0;
  try {
    for (;;) {
      const uint32_t t0 = MillisecondTick();
      stored += TakePacket(buffer + stored, wanted - stored, timeout);
      if (FLastError != 0 || stored >= wanted) break;
      if (!PacketBudgetLeft(timeout, t0)) break;
    }
  } catch (...) {
    // The failure is raised to the caller; what was received so far stays for the next call.
    FBuffer.insert(0, buffer, stored);
    throw;
  }
  return static_cast<int>(stored);
}

Bytes TTrvSerial::RecvBufferStr(int length, int timeout) {
  if (IoNotReady()) return {};
  SetSerialError(0);
  if (length < 1) return {};
  Bytes stored = Gather(static_cast<size_t>(length), timeout);
  if (FLastError == 0) return stored;
  // A failed call hands out nothing, but what it received goes back in front of the line
  // buffer so that the next reception sees it.
  FBuffer.insert(0, stored);
  return {};
}

char TTrvSerial::RecvByte(int timeout) {
  if (IoNotReady()) return 0;
  SetSerialError(0);
  char result = 0;
  if (FBuffer.empty()) FBuffer = RecvPacket(timeout);
  if (FLastError == 0 && !FBuffer.empty()) {
    result = FBuffer.front();
    FBuffer.erase(0, 1);
  }
  ExceptCheck();
  return result;
}

int TTrvSerial::FindTerminator(Bytes& gathered, size_t searchFrom, const Bytes& terminator,
                               bool lineEndMode, size_t& terminatorLength) {
  terminatorLength = terminator.size();
  if (gathered.empty()) return 0;
  if (!lineEndMode) {
    const size_t index = gathered.find(terminator, searchFrom);
    return index == Bytes::npos ? 0 : static_cast<int>(index) + 1;
  }
  // The second half of a line end split across two calls arrives first: drop it.
  if (FLastCR && gathered.front() == '\n') gathered.erase(0, 1);
  if (FLastLF && !gathered.empty() && gathered.front() == '\r') gathered.erase(0, 1);
  FLastCR = false;
  FLastLF = false;
  Bytes found;
  const int position = FindLineEnd(gathered, found);
  terminatorLength = found.size();
  FLastCR = found == "\r";
  FLastLF = found == "\n";
  return std::max(position, 0);
}

bool TTrvSerial::LineOverLimit(size_t gathered, int position) const {
  // Signed arithmetic: a negative MaxLineLength is a limit every reception passes, not "none".
  const auto count = static_cast<int64_t>(gathered);
  if (FMaxLineLength != 0 && count > FMaxLineLength) return true;
  const int64_t line = position > 0 ? position - 1 : count;
  return FLineSearchLimit > 0 && line > FLineSearchLimit;
}

Bytes TTrvSerial::RecvTerminated(int timeout, const Bytes& terminator) {
  if (IoNotReady()) return {};
  SetSerialError(0);
  if (terminator.empty()) return {};
  const bool lineEndMode = FConvertLineEnd && terminator == "\r\n";
  Bytes gathered;
  size_t terminatorLength = terminator.size();
  int position = 0;
  for (;;) {
    const uint32_t t0 = MillisecondTick();
    // Only the new bytes (and a terminator that may straddle the old end) need searching.
    const size_t searchFrom = gathered.size() - std::min(gathered.size(), terminator.size() - 1);
    AppendPacketKeeping(gathered, timeout);
    if (FLastError != 0) break;
    position = FindTerminator(gathered, searchFrom, terminator, lineEndMode, terminatorLength);
    if (LineOverLimit(gathered.size(), position)) {
      SetSerialError(kMaxBuffer);
      break;
    }
    if (position > 0 || !PacketBudgetLeft(timeout, t0)) break;
  }
  Bytes line;
  if (position > 0) {
    line = gathered.substr(0, static_cast<size_t>(position) - 1);
    gathered.erase(0, static_cast<size_t>(position) - 1 + terminatorLength);
  }
  FBuffer = std::move(gathered);
  ExceptCheck();
  return line;
}

Bytes TTrvSerial::Recvstring(int timeout) {
  Bytes line = RecvTerminated(timeout, "\r\n");
  return FLastError == 0 ? line : Bytes();
}

// ---- Line signals -------------------------------------------------------------------------

void TTrvSerial::SetBreak(int duration) {
  port_->SetBreak(true);  // unchecked: a line that cannot break shows it when the break ends
  platform::CurrentClock().Sleep(static_cast<uint32_t>(std::max(duration, 0)));
  SetSerialError(0);
  if (!port_->SetBreak(false)) SerialCheck(-1);
}

void TTrvSerial::EnableRTSToggle(bool value) {
  // The driver's own toggle mode, set through the device-control block; the old Windows family,
  // where this class raised RTS around each write itself, is gone (FRTSToggle stays false).
  SetSerialError(0);
  GetCommState();
  if (FLastError != 0) return;
  FDCB.Flags &= ~dcb::kRtsControlMask;
  if (value) FDCB.Flags |= dcb::kRtsControlToggle;
  SetCommState();
}

// ---- Integers, blocks and streams ---------------------------------------------------------

void TTrvSerial::SendInteger(int32_t data) {
  const Bytes bytes = EncodeInt32LittleEndian(data);
  SendBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

int32_t TTrvSerial::RecvInteger(int timeout) {
  const Bytes bytes = RecvBufferStr(4, timeout);
  return FLastError == 0 ? DecodeInt32LittleEndian(bytes) : 0;
}

void TTrvSerial::SendBlock(const Bytes& data) {
  // The length prefix could not tell a longer block: refused rather than sent with a wrong one.
  if (data.size() > static_cast<size_t>(INT32_MAX)) {
    RaiseSerialError(kWrongParameter);
    return;
  }
  SendInteger(static_cast<int32_t>(data.size()));
  SendString(data);
}

Bytes TTrvSerial::RecvBlock(int timeout) {
  const int32_t length = RecvInteger(timeout);
  if (FLastError != 0 || length < 1) return {};
  // A length prefix is what the far end (or noise on the line) says; it must not make this side
  // wait for, and gather, more than a block can sensibly hold.
  if (FMaxBlockLength > 0 && length > FMaxBlockLength) {
    RaiseSerialError(kMaxBuffer);
    return {};
  }
  return RecvBufferStr(length, timeout);
}

void TTrvSerial::SendStreamRaw(ByteStream& stream) {
  constexpr int64_t kChunk = 8192;
  const int64_t remaining = std::max<int64_t>(stream.Size() - stream.Position(), 0);
  Bytes chunk;
  for (int64_t sent = 0; sent < remaining;) {
    chunk.resize(static_cast<size_t>(std::min(remaining - sent, kChunk)));
    const int got = stream.Read(chunk.data(), static_cast<int>(chunk.size()));
    if (got <= 0) break;
    chunk.resize(static_cast<size_t>(got));
    SendString(chunk);
    sent += got;
  }
}

bool TTrvSerial::StreamLengthFits(ByteStream& stream, int32_t& length) {
  const int64_t remaining = std::max<int64_t>(stream.Size() - stream.Position(), 0);
  if (remaining > INT32_MAX) {
    // The 32-bit length prefix cannot announce it; nothing is sent.
    RaiseSerialError(kWrongParameter);
    return false;
  }
  length = static_cast<int32_t>(remaining);
  return true;
}

void TTrvSerial::SendStream(ByteStream& stream) {
  int32_t length = 0;
  if (!StreamLengthFits(stream, length)) return;
  SendInteger(length);
  SendStreamRaw(stream);
}

void TTrvSerial::SendStreamBigEndian(ByteStream& stream) {
  int32_t length = 0;
  if (!StreamLengthFits(stream, length)) return;
  SendInteger(ReverseByteOrder32(length));
  SendStreamRaw(stream);
}

void TTrvSerial::RecvStreamRaw(ByteStream& stream, int timeout) {
  do {
    const Bytes packet = RecvPacket(timeout);
    if (FLastError == 0) WriteBytesToStream(stream, packet);
  } while (FLastError == 0);
}

void TTrvSerial::RecvStreamSize(ByteStream& stream, int timeout, int size) {
  constexpr int kChunk = 8192;
  for (int i = 0; i < size / kChunk; ++i) {
    const Bytes chunk = RecvBufferStr(kChunk, timeout);
    if (FLastError != 0) return;
    WriteBytesToStream(stream, chunk);
  }
  const int rest = size % kChunk;
  if (rest <= 0) return;
  const Bytes chunk = RecvBufferStr(rest, timeout);
  if (FLastError == 0) WriteBytesToStream(stream, chunk);
}

void TTrvSerial::RecvStream(ByteStream& stream, int timeout) {
  const int32_t size = RecvInteger(timeout);
  if (FLastError == 0) RecvStreamSize(stream, timeout, size);
}

void TTrvSerial::RecvStreamBigEndian(ByteStream& stream, int timeout) {
  const int32_t size = ReverseByteOrder32(RecvInteger(timeout));
  if (FLastError == 0) RecvStreamSize(stream, timeout, size);
}

// ---- Modem commands -----------------------------------------------------------------------

namespace {

TTrvSerial::AtVerdict CommandVerdict(const Bytes& line) {
  if (line == "OK") return TTrvSerial::AtVerdict::Success;
  if (line == "ERROR") return TTrvSerial::AtVerdict::Failure;
  return TTrvSerial::AtVerdict::More;
}

TTrvSerial::AtVerdict ConnectVerdict(const Bytes& line) {
  for (const char* failure : {"NO CARRIER", "ERROR", "BUSY", "NO DIALTONE"}) {
    if (line == failure) return TTrvSerial::AtVerdict::Failure;
  }
  if (line.starts_with("CONNECT")) return TTrvSerial::AtVerdict::Success;
  return TTrvSerial::AtVerdict::More;
}

}  // namespace

Bytes TTrvSerial::ATCommand(const Bytes& value) {
  return RunATCommand(value, FAtTimeout, CommandVerdict);
}

Bytes TTrvSerial::ATConnect(const Bytes& value) {
  // Dialling takes long: 90 times the time of an ordinary answer, at most the longest time-out.
  const auto lineTimeout =
      static_cast<int>(std::clamp<int64_t>(int64_t{FAtTimeout} * 90, INT32_MIN, INT32_MAX));
  return RunATCommand(value, lineTimeout, ConnectVerdict);
}

Bytes TTrvSerial::RunATCommand(const Bytes& value, int lineTimeout,
                               AtVerdict (*verdict)(const Bytes&)) {
  Bytes result;
  FATResult = false;
  const bool convertLineEnd = FConvertLineEnd;
  FConvertLineEnd = true;  // a modem ends its lines with CR, LF or both
  try {
    CollectATAnswer(value, lineTimeout, verdict, result);
  } catch (...) {
    FConvertLineEnd = convertLineEnd;
    throw;
  }
  FConvertLineEnd = convertLineEnd;
  return result;
}

void TTrvSerial::CollectATAnswer(const Bytes& value, int lineTimeout,
                                 AtVerdict (*verdict)(const Bytes&), Bytes& result) {
  SendString(value + '\r');
  do {
    const Bytes line = Recvstring(lineTimeout);
    if (line != value) result += line + "\r\n";  // the modem's echo of the command is left out
    const AtVerdict answer = verdict(line);
    if (answer != AtVerdict::More) {
      FATResult = answer == AtVerdict::Success;
      return;
    }
  } while (FLastError == 0);
}

std::string TTrvSerial::GetVersion() {
  return "TrvSerial 7.5.0";
}

}  // namespace trv
