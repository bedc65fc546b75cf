#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Bytes.h"
#include "serial/ByteStream.h"
#include "serial/CommPort.h"
#include "serial/Dcb.h"
#include "serial/ETrvSerialError.h"

namespace trv {

// Result codes of TTrvSerial::LastError besides 0 (success) and the platform's own codes.
namespace serial_error {
constexpr int kAlreadyOwned = 9991;
constexpr int kAlreadyInUse = 9992;
constexpr int kWrongParameter = 9993;
constexpr int kPortNotOpen = 9994;
constexpr int kNoDeviceAnswer = 9995;
constexpr int kMaxBuffer = 9996;
constexpr int kTimeout = 9997;
constexpr int kNotRead = 9998;
constexpr int kFrame = 9999;
constexpr int kOverrun = 10000;
constexpr int kRxOver = 10001;
constexpr int kRxParity = 10002;
constexpr int kTxFull = 10003;
}  // namespace serial_error

enum THookSerialReason : uint8_t {
  HR_SerialClose,
  HR_Connect,
  HR_CanRead,
  HR_CanWrite,
  HR_ReadCount,
  HR_WriteCount,
  HR_Wait,
};

class TTrvSerial;
using THookSerialStatus =
    std::function<void(TTrvSerial* sender, THookSerialReason reason, const std::string& value)>;

// A blocking serial port: one object per port, used from one thread. Every operation returns
// when its work is done or its time-out expired, and leaves its outcome in LastError(); with
// RaiseExcept on, a non-zero outcome is also raised as ETrvSerialError.
class TTrvSerial {
 public:
  // The port of this operating system.
  TTrvSerial();
  // A given port (tests use a scripted one).
  explicit TTrvSerial(std::unique_ptr<CommPort> port);
  virtual ~TTrvSerial();
  TTrvSerial(const TTrvSerial&) = delete;
  TTrvSerial& operator=(const TTrvSerial&) = delete;

  // Opening, closing, configuration.
  virtual void Connect(const std::string& comport);
  virtual void CloseSocket();
  virtual void Config(int baud, int bits, char parity, int stop, bool softflow, bool hardflow);
  virtual void GetCommState();
  virtual void SetCommState();
  virtual void SetSizeRecvBuffer(int size);
  virtual void Purge();
  virtual void Flush();

  // Modem lines.
  virtual uint32_t ModemStatus();
  virtual bool DSR();
  virtual bool CTS();
  virtual bool Carrier();
  virtual bool Ring();
  virtual void SetDTR(bool value);
  virtual void SetRTS(bool value);

  // Transmission.
  virtual int SendBuffer(const char* buffer, int length);
  virtual void SendByte(char data);
  virtual void SendString(const Bytes& data);

  // Reception.
  virtual int RecvBuffer(char* buffer, int length);
  virtual int RecvBufferEx(char* buffer, int length, int timeout);
  virtual Bytes RecvBufferStr(int length, int timeout);
  virtual Bytes RecvPacket(int timeout);
  virtual char RecvByte(int timeout);
  virtual Bytes RecvTerminated(int timeout, const Bytes& terminator);
  virtual Bytes Recvstring(int timeout);

  // Queue counts and waits.
  virtual int SendingData();
  virtual int WaitingData();
  virtual int WaitingDataEx();
  bool WaitForLineEvent(uint32_t mask, int timeout);
  virtual bool CanRead(int timeout);
  virtual bool CanReadEx(int timeout);
  virtual bool CanWrite(int timeout);

  // Line signals.
  // Holds the line in the break state for duration ms. Never raises: LastError tells.
  virtual void SetBreak(int duration);
  // Lets the driver raise RTS while it transmits and drop it when the line is idle, for
  // half-duplex (RS-485) lines; false gives RTS back (held off). Where the driver has no such
  // mode, LastError holds the platform's code for an unsupported operation.
  virtual void EnableRTSToggle(bool value);

  // Integers, blocks and streams. Integers travel as 4 bytes, least significant first; blocks
  // and streams are preceded by their length as such an integer (most significant first for the
  // big-endian stream operations).
  virtual void SendInteger(int32_t data);
  virtual int32_t RecvInteger(int timeout);
  virtual void SendBlock(const Bytes& data);
  // A length above MaxBlockLength is refused with 9996 before anything of the block is read.
  virtual Bytes RecvBlock(int timeout);
  virtual void SendStreamRaw(ByteStream& stream);
  virtual void SendStream(ByteStream& stream);
  virtual void SendStreamBigEndian(ByteStream& stream);
  // Writes every packet that arrives to the stream until the line stays silent for timeout ms
  // (or another failure): it always ends with a non-zero LastError.
  virtual void RecvStreamRaw(ByteStream& stream, int timeout);
  virtual void RecvStreamSize(ByteStream& stream, int timeout, int size);
  virtual void RecvStream(ByteStream& stream, int timeout);
  virtual void RecvStreamBigEndian(ByteStream& stream, int timeout);

  // Modem commands: sends value and CR, then collects the answer lines (an echo of the command
  // left out), each followed by CR LF, up to the modem's verdict. ATResult tells whether it was
  // favourable: OK for ATCommand, CONNECT... for ATConnect.
  virtual Bytes ATCommand(const Bytes& value);
  virtual Bytes ATConnect(const Bytes& value);

  virtual std::string GetVersion();

  // What one answer line of a modem command means for the command.
  enum class AtVerdict { More, Success, Failure };

  // Error model.
  virtual int SerialCheck(int serialResult);
  virtual void ExceptCheck();
  virtual void SetSerialError(int errNumber);
  virtual void RaiseSerialError(int errNumber);
  static std::string GetErrorDesc(int errorCode);

  // Properties.
  int Tag() const { return FTag; }
  void SetTag(int value) { FTag = value; }
  intptr_t Handle() const { return port_->NativeHandle(); }
  // What to watch for input before asking for it, or -1 (see CommPort::InputDescriptor).
  intptr_t InputDescriptor() const { return port_->InputDescriptor(); }
  const Bytes& LineBuffer() const { return FBuffer; }
  void SetLineBuffer(const Bytes& value) { FBuffer = value; }
  bool RaiseExcept() const { return FRaiseExcept; }
  void SetRaiseExcept(bool value) { FRaiseExcept = value; }
  const THookSerialStatus& OnStatus() const { return FOnStatus; }
  void SetOnStatus(THookSerialStatus hook) { FOnStatus = std::move(hook); }
  bool TestDSR() const { return FTestDSR; }
  void SetTestDSR(bool value) { FTestDSR = value; }
  bool TestCTS() const { return FTestCTS; }
  void SetTestCTS(bool value) { FTestCTS = value; }
  int MaxLineLength() const { return FMaxLineLength; }
  void SetMaxLineLength(int value) { FMaxLineLength = value; }
  // The longest line RecvTerminated looks for its terminator in: a line longer than this, or as
  // many bytes gathered without a terminator, end the call with 9996. Unlike MaxLineLength it
  // does not count the bytes after the terminator, so a burst of complete lines is read line by
  // line. 0 or less: no limit.
  int LineSearchLimit() const { return FLineSearchLimit; }
  void SetLineSearchLimit(int value) { FLineSearchLimit = value; }
  int DeadlockTimeout() const { return FDeadlockTimeout; }
  void SetDeadlockTimeout(int value) { FDeadlockTimeout = value; }
  bool LinuxLock() const { return FLinuxLock; }
  void SetLinuxLock(bool value) { FLinuxLock = value; }
  bool ConvertLineEnd() const { return FConvertLineEnd; }
  void SetConvertLineEnd(bool value) { FConvertLineEnd = value; }
  int AtTimeout() const { return FAtTimeout; }
  void SetAtTimeout(int value) { FAtTimeout = value; }
  // Longest block RecvBlock accepts; 0 or less: no limit.
  int MaxBlockLength() const { return FMaxBlockLength; }
  void SetMaxBlockLength(int value) { FMaxBlockLength = value; }
  bool InterPacketTimeout() const { return FInterPacketTimeout; }
  void SetInterPacketTimeout(bool value) { FInterPacketTimeout = value; }
  const std::string& Device() const { return FDevice; }
  int LastError() const { return FLastError; }
  const std::string& LastErrorDesc() const { return FLastErrorDesc; }
  bool ATResult() const { return FATResult; }
  bool InstanceActive() const { return FInstanceActive; }
  int MaxSendBandwidth() const { return FMaxSendBandwidth; }
  void SetMaxSendBandwidth(int value) { FMaxSendBandwidth = value; }
  int MaxRecvBandwidth() const { return FMaxRecvBandwidth; }
  void SetMaxRecvBandwidth(int value) { FMaxRecvBandwidth = value; }
  virtual void SetMaxBandwidth(int value);
  int SizeRecvBuffer() const { return FRecvBuffer; }
  // The zero-based port number taken from the last name given; -1 when none.
  int ComNr() const { return FComNr; }
  // The device-control block as last read or written.
  Dcb& DCB() { return FDCB; }

 protected:
  virtual void MapCommErrors(uint32_t flags);
  virtual uint16_t QueryPortAddress();
  virtual bool TransmitterEmpty(uint16_t portAddress);
  virtual void ReportStatus(THookSerialReason reason, const std::string& value);
  virtual void ParsePortNumber(const std::string& name);
  virtual bool IoNotReady();
  virtual bool ModemLinesReady();
  // Waits until `next` (a moment of the clock, in ms), then sets it to now plus the time that
  // `count` bytes take at `limit` bytes per second. Kept in 64 bits: no wrap to get wrong.
  virtual void ThrottleBandwidth(int count, int limit, uint64_t& next);

  CommPort& Port() { return *port_; }

 private:
  // After a transfer: maps the line errors that the driver reports onto LastError.
  void CheckLineErrors();
  // Outcome of a platform read or write, recorded in LastError.
  void RecordTransfer(TransferOutcome outcome);
  // What RecvPacket receives, appended to `into` in place (a long reception then grows one
  // buffer instead of copying packets); when it raises, `into` holds what the failing read did
  // receive.
  void AppendPacket(Bytes& into, int timeout);
  // RecvBuffer with its failure left in LastError instead of raised, so that the caller can put
  // what it received in place first. Answers the count received.
  int RecvBufferUnraised(char* buffer, int length);
  // Reads `count` bytes that the driver reported waiting onto the end of `into`, where they stay
  // also when the read's failure is raised.
  void AppendWaiting(Bytes& into, int count);
  // Reads `count` bytes that the driver reported waiting to `into`; when the read's failure is
  // raised, what it received becomes the line buffer.
  size_t TakeWaiting(char* into, int count);
  // WaitForLineEvent's steps, answering the platform's events (with kEvQueueEmpty).
  uint32_t AwaitLineEvents(uint32_t mask, int timeout);
  // The port side of a packet: gives up the time slice once, then answers what the driver holds,
  // waiting once (for up to `timeout` ms) when it holds nothing; 0 with LastError set when
  // nothing came.
  int AwaitPacket(int timeout);
  // What RecvPacket receives, stored at `into` up to `room` bytes, the rest left as the line
  // buffer; a packet that fits is read straight into place. Answers the count stored.
  size_t TakePacket(char* into, size_t room, int timeout);
  // AppendPacket that, when it raises, puts the bytes a longer reception already received back
  // in front of the line buffer.
  void AppendPacketKeeping(Bytes& received, int timeout);
  // Collects packets until `length` bytes are stored or a reception fails; the rest of the last
  // packet becomes the line buffer.
  Bytes Gather(size_t length, int timeout);
  // After a packet of a longer reception that began at packetStart: whether another may follow.
  // With one budget for the whole call (InterPacketTimeout false) timeout becomes what is left
  // of it, and a spent budget ends the call with LastError 9997.
  bool PacketBudgetLeft(int& timeout, uint32_t packetStart);
  // Whether a reception by terminator has gathered more than its limits allow; position is
  // where the terminator was found (1-based), 0 when it was not.
  bool LineOverLimit(size_t gathered, int position) const;
  // Position (from 1) of the line's terminator in gathered, 0 when none yet; in line-end mode
  // also drops the second half of a line end split across calls.
  int FindTerminator(Bytes& gathered, size_t searchFrom, const Bytes& terminator, bool lineEndMode,
                     size_t& terminatorLength);

  // The stream's remaining length, when a 32-bit length prefix can announce it; otherwise
  // LastError 9993 and false.
  bool StreamLengthFits(ByteStream& stream, int32_t& length);
  // Runs a modem command, waiting lineTimeout ms for each answer line; verdict judges each.
  Bytes RunATCommand(const Bytes& value, int lineTimeout, AtVerdict (*verdict)(const Bytes&));
  void CollectATAnswer(const Bytes& value, int lineTimeout, AtVerdict (*verdict)(const Bytes&),
                       Bytes& result);

  static constexpr int kDefaultMaxBlockLength = 16 * 1024 * 1024;

  std::unique_ptr<CommPort> port_;

  THookSerialStatus FOnStatus;
  int FTag = 0;
  std::string FDevice;
  int FLastError = 0;
  std::string FLastErrorDesc;
  Bytes FBuffer;
  bool FRaiseExcept = false;
  int FRecvBuffer = 4096;
  uint32_t FModemWord = 0;
  // RTS raised around each write by this class itself: the old Windows family's way, never used
  // on the platforms this code runs on, where the driver toggles RTS (EnableRTSToggle).
  bool FRTSToggle = false;
  int FDeadlockTimeout = 30000;
  bool FInstanceActive = false;
  bool FTestDSR = false;
  bool FTestCTS = false;
  bool FLastCR = false;
  bool FLastLF = false;
  int FMaxLineLength = 0;
  int FLineSearchLimit = 0;
  int FMaxBlockLength = kDefaultMaxBlockLength;
  bool FLinuxLock = true;
  int FMaxSendBandwidth = 0;
  uint64_t FNextSend = 0;
  int FMaxRecvBandwidth = 0;
  uint64_t FNextRecv = 0;
  bool FConvertLineEnd = false;
  bool FATResult = false;
  int FAtTimeout = 1000;
  bool FInterPacketTimeout = true;
  int FComNr = -1;
  // The UART's I/O address on the old Windows family; no platform here gives one, so it stays 0.
  uint16_t FPortAddr = 0;
  Dcb FDCB{};
};

}  // namespace trv
