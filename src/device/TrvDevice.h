#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bytes.h"
#include "platform/TComponent.h"
#include "serial/CommPort.h"
#include "serial/TrvSerial.h"

namespace trv {

enum TTrvSerialParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum TTrvSerialStop : uint8_t { s1, s1eMeio, s2 };
enum TTrvHandShake : uint8_t { hsNenhum, hsXON_XOFF, hsRTS_CTS, hsDTR_DSR };

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

// The communication device: holds the port name and the line parameters, checks each value
// when it is set, opens and closes the port and sends to it. Drivers read through Serial.
class TTrvDevice : public TComponent {
 public:
  // The kinds of port that the name selects.
  enum class PortKind { Serial, DllUsb, File };

  // port: the serial port to drive; the operating system's when null.
  explicit TTrvDevice(TComponent* owner, std::unique_ptr<CommPort> port = nullptr);
  ~TTrvDevice() override;

  void SetDefaultValues();
  void Ativar();
  void Desativar();
  void EnviaString(const Bytes& AString);
  bool EmLinha(int lTimeOut);

  // The line parameters as one line of keywords, the defaults left out:
  // BAUD=4800 DATA=7 PARITY=E STOP=2 HANDSHAKE=RTS/CTS HARDFLOW MAXBANDWIDTH=100.
  std::string ParamsString() const;
  // Resets the line parameters, then applies every keyword the text names (any case).
  void SetParamsString(const std::string& value);
  // The value of keyword in text: the word after it, with or without "=" and spaces between;
  // empty when the keyword is absent.
  static std::string ParamValue(const std::string& text, const std::string& keyword);

  // Fills list with the serial ports COM1 to COM<UltimaPorta> that exist on the machine, those
  // that another program holds included. Uses a port object of its own, never Serial.
  void AcharPortasSeriais(std::vector<std::string>& list, int UltimaPorta);
  // Moves a character printer's head to line Linha, column Coluna (with line feeds, a carriage
  // return, spaces, and a form feed when the line lies above), then prints AString.
  void ImprimePos(int Linha, int Coluna, const Bytes& AString);
  // Sends a form feed; the head goes back to line 0.
  void Eject();
  // Makes the ports of AcharPortasSeriais; the operating system's unless set.
  void SetPortFactory(std::function<std::unique_ptr<CommPort>()> factory) {
    fPortFactory = std::move(factory);
  }

  bool IsSerialPort() const;
  bool IsDLLPort() const;
  bool IsTXTFilePort() const;
  PortKind Kind() const;

  // The baud rates and data bits the device takes; SetBaud and SetData refuse others.
  static constexpr int kMinBaud = 50;
  static constexpr int kMaxBaud = 4000000;
  static constexpr int kMinData = 5;
  static constexpr int kMaxData = 8;

  // Properties.
  int Baud() const { return fsBaud; }
  void SetBaud(int value);
  int Data() const { return fsData; }
  void SetData(int value);
  TTrvSerialParity Parity() const;
  void SetParity(uint8_t ordinal);
  char ParityLetter() const { return fsParity; }
  TTrvSerialStop Stop() const;
  void SetStop(uint8_t ordinal);
  int StopCode() const { return fsStop; }
  int MaxBandwidth() const { return Serial->MaxSendBandwidth(); }
  void SetMaxBandwidth(int value) { Serial->SetMaxSendBandwidth(value); }
  int SendBytesCount() const { return fsSendBytesCount; }
  void SetSendBytesCount(int value) { fsSendBytesCount = value; }
  int SendBytesInterval() const { return fsSendBytesInterval; }
  void SetSendBytesInterval(int value) { fsSendBytesInterval = value; }
  TTrvHandShake HandShake() const { return fsHandShake; }
  void SetHandShake(uint8_t ordinal);
  bool SoftFlow() const { return fsSoftFlow; }
  void SetSoftFlow(bool value);
  bool HardFlow() const { return fsHardFlow; }
  void SetHardFlow(bool value);
  bool ProcessMessages() const { return fProcessMessages; }
  void SetProcessMessages(bool value) { fProcessMessages = value; }
  const THookSerialStatus& OnStatus() const { return Serial->OnStatus(); }
  void SetOnStatus(THookSerialStatus hook) { Serial->SetOnStatus(std::move(hook)); }
  bool Ativo() const { return fsAtivo; }
  void SetAtivo(bool value) { value ? Ativar() : Desativar(); }
  const std::string& Porta() const { return fsPorta; }
  void SetPorta(const std::string& value);
  int TimeOut() const { return fsTimeOut; }
  void SetTimeOut(int value);

  // The serial port, owned for the device's whole life.
  const std::unique_ptr<TTrvSerial> Serial;
  // Print position: X the line, Y the column.
  TPoint PosImp;

 private:
  void ApplySerialConfig();
  void OpenSerial();
  void CloseSerialQuietly();
  void SendSerialBlocks(const Bytes& AString);
  void WriteFileBlocks(const Bytes& AString);
  // SendBytesCount as a block size for a string of `total` bytes.
  size_t BlockSize(size_t total) const;
  void PauseAfterBlock() const;
  int DeadlockMilliseconds() const;
  // The status line that the handshake selects (CTS or DSR) is on; true without one.
  bool HandshakeLineReady();
  // The handshake as ParamsString writes it; empty for a value outside the four modes.
  std::string HandShakeText() const;
  // Applies the keywords of an upper-cased, trimmed parameter text, in their fixed order.
  void ApplyParams(const std::string& text);
  // COM<number> exists: opening it does not report a missing device.
  bool ProbeSerialPort(TTrvSerial& probe, const std::string& name);

  bool fsHardFlow = false;
  bool fsSoftFlow = false;
  char fsParity = 'N';
  int fsData = 8;
  int fsBaud = 9600;
  int fsStop = 0;
  std::string fsPorta;
  int fsTimeOut = 3;
  bool fsAtivo = false;
  TTrvHandShake fsHandShake = hsNenhum;
  int fsSendBytesCount = 0;
  int fsSendBytesInterval = 0;
  bool fProcessMessages = true;
  std::function<std::unique_ptr<CommPort>()> fPortFactory = CreateSystemCommPort;
};

}  // namespace trv
