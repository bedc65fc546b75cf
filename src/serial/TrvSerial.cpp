#include "serial/TrvSerial.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/Clock.h"
#include "platform/SystemError.h"
#include "serial/TrvSerialUtil.h"

namespace trv {
namespace {

using namespace serial_error;

// Reads an optionally signed decimal integer that fills the whole text; false otherwise
// (empty text, stray characters, a value that does not fit).
bool ParseWholeInteger(std::string_view text, int& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool StartsWithUpper(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != prefix[i]) return false;
  }
  return true;
}

// What is left of a time budget after `spent` ms; at most the budget, never below INT_MIN.
int RemainingBudget(int budget, uint32_t spent) {
  return static_cast<int>(std::max<int64_t>(int64_t{budget} - int64_t{spent}, INT32_MIN));
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
    if (!ParseWholeInteger(std::string_view(name).substr(3), number)) number = 0;
    FComNr = number == INT32_MIN ? INT32_MAX : number - 1;
  }
  if (StartsWithUpper(name, "/DEV/TTYS")) {
    FComNr = ParseWholeInteger(std::string_view(name).substr(9), number) ? number : -2;
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
  CommStatus status;
  if (port_->ClearError(status) && status.errors != 0) MapCommErrors(status.errors);
}

// ---- Queue counts and waits ---------------------------------------------------------------

bool TTrvSerial::QueryStatus(CommStatus& status) {
  return port_->ClearError(status);
}

int TTrvSerial::SendingData() {
  SetSerialError(0);
  CommStatus status;
  const bool ok = QueryStatus(status);
  if (!ok) SerialCheck(-1);
  ExceptCheck();
  return ok ? static_cast<int>(status.outQueue) : 0;
}

int TTrvSerial::WaitingData() {
  CommStatus status;
  int count = 0;
  if (QueryStatus(status)) {
    SetSerialError(0);
    count = static_cast<int>(std::min<uint32_t>(status.inQueue, INT32_MAX));
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

bool TTrvSerial::WaitForLineEvent(uint32_t mask, int timeout) {
  SetSerialError(0);
  if (mask == comm::kEvRxChar && WaitingData() > 0) return true;
  // A negative time-out would mean "forever" to the platform; a wait here is always bounded.
  const uint32_t received = port_->WaitEvent(mask, std::max(timeout, 0));
  return (received & mask) == mask;
}

bool TTrvSerial::CanRead(int timeout) {
  bool ready = WaitingData() > 0;
  if (!ready) ready = WaitForLineEvent(comm::kEvRxChar, timeout);
  if (!ready) ready = WaitingData() > 0;
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
  FLastErrorDesc = GetErrorDesc(errNumber);
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
      return platform::SystemErrorText(errorCode);
  }
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

Bytes TTrvSerial::ReadWaiting(int count) {
  Bytes data(static_cast<size_t>(count), '\0');
  data.resize(static_cast<size_t>(std::max(RecvBuffer(data.data(), count), 0)));
  return data;
}

Bytes TTrvSerial::RecvPacket(int timeout) {
  Bytes result;
  if (IoNotReady()) return result;
  SetSerialError(0);
  if (!FBuffer.empty()) {
    result.swap(FBuffer);
  } else {
    platform::CurrentClock().Yield();
    int waiting = WaitingData();
    if (waiting <= 0 && CanRead(timeout)) waiting = WaitingData();
    if (waiting > 0) {
      result = ReadWaiting(waiting);
    } else if (FLastError == 0) {
      SetSerialError(kTimeout);
    }  // else the queue query failed: its platform code tells more than a time-out would
  }
  ExceptCheck();
  return result;
}

Bytes TTrvSerial::RecvPacketKeeping(const Bytes& received, int timeout) {
  try {
    return RecvPacket(timeout);
  } catch (...) {
    // The failure is raised to the caller; what was received so far stays for the next call.
    FBuffer.insert(0, received);
    throw;
  }
}

Bytes TTrvSerial::Gather(size_t length, int timeout) {
  Bytes stored;
  Bytes packet;
  size_t take = 0;
  for (;;) {
    const uint32_t t0 = MillisecondTick();
    packet = RecvPacketKeeping(stored, timeout);
    take = std::min(packet.size(), length - stored.size());
    stored.append(packet, 0, take);
    if (FLastError != 0 || stored.size() >= length) break;
    if (FInterPacketTimeout) continue;
    timeout = RemainingBudget(timeout, TickDifference(t0, MillisecondTick()));
    if (timeout <= 0) {
      SetSerialError(kTimeout);
      break;
    }
  }
  FBuffer = packet.substr(take);
  return stored;
}

int TTrvSerial::RecvBufferEx(char* buffer, int length, int timeout) {
  if (IoNotReady()) return 0;
  SetSerialError(0);
  const Bytes stored = Gather(static_cast<size_t>(std::max(length, 0)), timeout);
  std::memcpy(buffer, stored.data(), stored.size());
  return static_cast<int>(stored.size());
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
    gathered += RecvPacketKeeping(gathered, timeout);
    if (FLastError != 0) break;
    position = FindTerminator(gathered, searchFrom, terminator, lineEndMode, terminatorLength);
    if (FMaxLineLength != 0 && gathered.size() > static_cast<size_t>(FMaxLineLength)) {
      SetSerialError(kMaxBuffer);
      break;
    }
    if (position > 0) break;
    if (FInterPacketTimeout) continue;
    timeout = RemainingBudget(timeout, TickDifference(t0, MillisecondTick()));
    if (timeout <= 0) {
      SetSerialError(kTimeout);
      break;
    }
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

}  // namespace trv
