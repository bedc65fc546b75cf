#include "device/TrvDevice.h"

#include <algorithm>

#include "device/TrvBase.h"
#include "platform/Clock.h"
#include "platform/OutputFile.h"
#include "platform/Text.h"
#include "platform/Timer.h"

namespace trv {
namespace {

// Messages, kept as Windows-1252 bytes.
constexpr char kBaudMessage[] =
    "Valor deve estar na faixa de 50 a 4000000.\nNormalmente os equipamentos Seriais utilizam: "
    "9600";
constexpr char kDataMessage[] =
    "Valor deve estar na faixa de 5 a 8.\nNormalmente os equipamentos Seriais utilizam: 7 ou 8";
constexpr char kPortChangeMessage[] =
    "N\xE3o \xE9 poss\xEDvel mudar a Porta com o Dispositivo Ativo";
constexpr char kNoPortMessage[] = "Porta n\xE3o definida";

bool StartsWith(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The integer value of keyword in text, or fallback when it is missing or not an integer.
int IntegerParam(const std::string& text, const std::string& keyword, int fallback) {
  int value = 0;
  return platform::ParseWholeInteger(TTrvDevice::ParamValue(text, keyword), value) ? value
                                                                                   : fallback;
}

// base + step, held within the 32-bit range.
int32_t SaturatedAdd(int32_t base, int64_t step) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{base} + step, INT32_MIN, INT32_MAX));
}

constexpr char kLineFeed = '\x0A';
constexpr char kCarriageReturn = '\x0D';
constexpr char kFormFeed = '\x0C';

}  // namespace

TTrvDevice::TTrvDevice(TComponent* owner, std::unique_ptr<CommPort> port)
    : TComponent(owner),
      Serial(std::make_unique<TTrvSerial>(port ? std::move(port) : CreateSystemCommPort())) {
  Serial->SetRaiseExcept(true);
  SetDefaultValues();
}

TTrvDevice::~TTrvDevice() = default;  // Serial closes an open port as it goes

void TTrvDevice::SetDefaultValues() {
  fsHardFlow = false;
  fsSoftFlow = false;
  fsHandShake = hsNenhum;
  fsParity = 'N';
  fsData = 8;
  fsBaud = 9600;
  fsStop = 0;
  PosImp = TPoint{};
}

// ---- Port kinds ---------------------------------------------------------------------------

bool TTrvDevice::IsSerialPort() const {
  return StartsWith(fsPorta, "COM") || StartsWith(fsPorta, "\\\\.\\") ||
         IsPlatformSerialPath(fsPorta);
}

bool TTrvDevice::IsDLLPort() const {
  if (fsPorta.empty()) return false;
  const std::string head = platform::AsciiUpper(fsPorta.substr(0, 3));
  return std::string_view("USB|DLL").find(head) != std::string_view::npos;
}

bool TTrvDevice::IsTXTFilePort() const {
  return fsPorta.size() >= 4 && platform::AsciiUpper(fsPorta.substr(fsPorta.size() - 4)) == ".TXT";
}

TTrvDevice::PortKind TTrvDevice::Kind() const {
  if (IsSerialPort()) return PortKind::Serial;
  if (IsDLLPort()) return PortKind::DllUsb;
  return PortKind::File;
}

// ---- Setters ------------------------------------------------------------------------------

void TTrvDevice::SetBaud(int value) {
  if (value == fsBaud) return;
  if (value < kMinBaud || value > kMaxBaud) throw Exception(DecodeMessage(kBaudMessage));
  fsBaud = value;
  ApplySerialConfig();
}

void TTrvDevice::SetData(int value) {
  if (value == fsData) return;
  if (value < kMinData || value > kMaxData) throw Exception(DecodeMessage(kDataMessage));
  fsData = value;
  ApplySerialConfig();
}

TTrvSerialParity TTrvDevice::Parity() const {
  switch (fsParity) {
    case 'O':
      return pOdd;
    case 'E':
      return pEven;
    case 'M':
      return pMark;
    case 'S':
      return pSpace;
    default:
      return pNone;
  }
}

void TTrvDevice::SetParity(uint8_t ordinal) {
  if (ordinal == Parity()) return;
  static constexpr char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
  fsParity = ordinal <= pSpace ? kLetters[ordinal] : 'N';
  ApplySerialConfig();
}

TTrvSerialStop TTrvDevice::Stop() const {
  switch (fsStop) {
    case 1:
      return s1eMeio;
    case 2:
      return s2;
    default:
      return s1;
  }
}

void TTrvDevice::SetStop(uint8_t ordinal) {
  if (ordinal == Stop()) return;
  fsStop = ordinal == s1eMeio ? 1 : ordinal == s2 ? 2 : 0;
  ApplySerialConfig();
}

void TTrvDevice::SetHandShake(uint8_t ordinal) {
  fsHardFlow = ordinal == hsRTS_CTS;
  fsSoftFlow = ordinal == hsXON_XOFF;
  fsHandShake = static_cast<TTrvHandShake>(ordinal);
  ApplySerialConfig();
}

void TTrvDevice::SetHardFlow(bool value) {
  if (value) {
    SetHandShake(hsRTS_CTS);
  } else if (fsHandShake == hsRTS_CTS) {
    SetHandShake(hsNenhum);
  }
}

void TTrvDevice::SetSoftFlow(bool value) {
  if (value) {
    SetHandShake(hsXON_XOFF);
  } else if (fsHandShake == hsXON_XOFF) {
    SetHandShake(hsNenhum);
  }
}

void TTrvDevice::SetPorta(const std::string& value) {
  if (value == fsPorta) return;
  if (fsAtivo) throw Exception(DecodeMessage(kPortChangeMessage));
  const std::string upper = platform::AsciiUpper(value);
  fsPorta = StartsWith(upper, "LPT") || StartsWith(upper, "COM") ? upper : value;
}

void TTrvDevice::SetTimeOut(int value) {
  if (value == fsTimeOut) return;
  fsTimeOut = std::max(value, 1);
  if (IsSerialPort()) Serial->SetDeadlockTimeout(DeadlockMilliseconds());
}

int TTrvDevice::DeadlockMilliseconds() const {
  return static_cast<int>(std::min<int64_t>(int64_t{fsTimeOut} * 1000, INT32_MAX));
}

// ---- Opening and closing ------------------------------------------------------------------

void TTrvDevice::ApplySerialConfig() {
  if (!Serial->InstanceActive()) return;
  Serial->Config(fsBaud, fsData, fsParity, fsStop, fsSoftFlow, fsHardFlow);
  if (fsHandShake == hsRTS_CTS) {
    Serial->SetRTS(true);
  } else if (fsHandShake == hsDTR_DSR) {
    Serial->SetDTR(true);
  }
}

void TTrvDevice::Ativar() {
  if (fsAtivo) return;
  if (fsPorta.empty()) throw Exception(DecodeMessage(kNoPortMessage));
  switch (Kind()) {
    case PortKind::Serial:
      OpenSerial();
      break;
    case PortKind::DllUsb:
      break;  // nothing to open
    case PortKind::File:
      if (IsTXTFilePort() && platform::FileExists(fsPorta)) platform::DeleteFileQuietly(fsPorta);
      WriteFileBlocks(Bytes());
      break;
  }
  fsAtivo = true;
}

void TTrvDevice::OpenSerial() {
  try {
    Serial->CloseSocket();
    Serial->SetDeadlockTimeout(DeadlockMilliseconds());
    Serial->Connect(fsPorta);
    ApplySerialConfig();
    Serial->Purge();
  } catch (...) {
    CloseSerialQuietly();
    throw;
  }
}

void TTrvDevice::CloseSerialQuietly() {
  Serial->SetRaiseExcept(false);
  try {
    Serial->CloseSocket();
  } catch (...) {
    // A close that fails while giving up is not worth more than the failure that led here.
  }
  Serial->SetRaiseExcept(true);
}

void TTrvDevice::Desativar() {
  if (!fsAtivo) return;
  // An open serial port is closed whatever its name looks like now: a link that named it (a
  // udev rule's name, a test's pty link) disappears with an unplugged device, and the name then
  // no longer reads as a serial port.
  if (Kind() == PortKind::Serial || Serial->InstanceActive()) CloseSerialQuietly();
  fsAtivo = false;
}

// ---- Sending ------------------------------------------------------------------------------

void TTrvDevice::EnviaString(const Bytes& AString) {
  switch (Kind()) {
    case PortKind::Serial:
      SendSerialBlocks(AString);
      break;
    case PortKind::DllUsb:
      break;  // no transport
    case PortKind::File:
      WriteFileBlocks(AString);
      break;
  }
}

size_t TTrvDevice::BlockSize(size_t total) const {
  // A count of 0 (or, meaninglessly, below) sends the string as one block.
  return fsSendBytesCount > 0 ? static_cast<size_t>(fsSendBytesCount) : std::max<size_t>(total, 1);
}

void TTrvDevice::PauseAfterBlock() const {
  if (fsSendBytesInterval > 0) {
    platform::CurrentClock().Sleep(static_cast<uint32_t>(fsSendBytesInterval));
  }
}

void TTrvDevice::SendSerialBlocks(const Bytes& AString) {
  const size_t block = BlockSize(AString.size());
  for (size_t i = 0; i < AString.size(); i += block) {
    Serial->SendString(AString.substr(i, block));
    PauseAfterBlock();
  }
}

void TTrvDevice::WriteFileBlocks(const Bytes& AString) {
  if (IsSerialPort()) return;
  const bool append = IsTXTFilePort() && platform::FileExists(fsPorta);
  platform::OutputFile target(fsPorta, append);
  const size_t block = BlockSize(AString.size());
  for (size_t i = 0; i < AString.size(); i += block) {
    target.Write(AString.data() + i, std::min(block, AString.size() - i));
    PauseAfterBlock();
  }
  target.Flush();
}

// ---- Line readiness -----------------------------------------------------------------------

bool TTrvDevice::HandshakeLineReady() {
  try {
    if (fsHandShake == hsRTS_CTS) return Serial->CTS();
    if (fsHandShake == hsDTR_DSR) return Serial->DSR();
    return true;
  } catch (const Exception&) {
    return false;  // a line that cannot be read is not ready; the wait raises nothing
  }
}

bool TTrvDevice::EmLinha(int lTimeOut) {
  // Unlike opening and sending, the readiness test asks for the DLL/USB kind first: a name of
  // both kinds is always ready.
  if (IsDLLPort() || !IsSerialPort()) return true;
  lTimeOut = std::max(lTimeOut, 1);
  if (!Serial->InstanceActive()) return false;
  platform::Clock& clock = platform::CurrentClock();
  const uint64_t deadline = clock.Milliseconds() + uint64_t(lTimeOut) * 1000;
  bool ready = false;
  while (!ready && clock.Milliseconds() < deadline) {
    ready = HandshakeLineReady();
    if (!ready) {
      if (fProcessMessages) platform::ProcessMessages();
      clock.Sleep(10);
    }
  }
  return ready;
}

// ---- Parameter text -----------------------------------------------------------------------

std::string TTrvDevice::HandShakeText() const {
  switch (fsHandShake) {
    case hsXON_XOFF:
      return "XON/XOFF";
    case hsRTS_CTS:
      return "RTS/CTS";
    case hsDTR_DSR:
      return "DTR/DSR";
    default:
      return "";
  }
}

std::string TTrvDevice::ParamsString() const {
  std::string text;
  if (fsBaud != 9600) text += " BAUD=" + std::to_string(fsBaud);
  if (fsData != 8) text += " DATA=" + std::to_string(fsData);
  if (fsParity != 'N') text += std::string(" PARITY=") + fsParity;
  if (fsStop != 0) text += std::string(" STOP=") + (fsStop == 1 ? "1,5" : "2");
  if (fsHandShake != hsNenhum) text += " HANDSHAKE=" + HandShakeText();
  if (fsHardFlow) text += " HARDFLOW";
  if (fsSoftFlow) text += " SOFTFLOW";
  if (MaxBandwidth() > 0) text += " MAXBANDWIDTH=" + std::to_string(MaxBandwidth());
  return platform::Trim(text);
}

std::string TTrvDevice::ParamValue(const std::string& text, const std::string& keyword) {
  constexpr size_t kLongestValue = 200;
  const size_t position = text.find(keyword);
  if (position == std::string::npos) return "";
  std::string value = platform::Trim(text.substr(position + keyword.size(), kLongestValue));
  if (!value.empty() && value.front() == '=')
    value = platform::Trim(value.substr(1, kLongestValue));
  return platform::Trim(value.substr(0, value.find(' ')));
}

void TTrvDevice::SetParamsString(const std::string& value) {
  SetDefaultValues();
  ApplyParams(platform::Trim(platform::AsciiUpper(value)));
}

void TTrvDevice::ApplyParams(const std::string& text) {
  SetBaud(IntegerParam(text, "BAUD", fsBaud));
  const std::string parity = ParamValue(text, "PARITY");
  if (!parity.empty() && std::string_view("EMNOS").find(parity.front()) != std::string::npos) {
    fsParity = parity.front();
  }
  SetData(IntegerParam(text, "DATA", fsData));
  const std::string stop = ParamValue(text, "STOP");
  if (stop == "1") SetStop(s1);
  if (stop == "1,5") SetStop(s1eMeio);
  if (stop == "2") SetStop(s2);
  SetHardFlow(text.find("HARDFLOW") != std::string::npos);
  SetSoftFlow(text.find("SOFTFLOW") != std::string::npos);
  const std::string handShake = ParamValue(text, "HANDSHAKE");
  if (handShake == "XON/XOFF") SetHandShake(hsXON_XOFF);
  if (handShake == "DTR/DSR") SetHandShake(hsDTR_DSR);
  if (handShake == "RTS/CTS") SetHandShake(hsRTS_CTS);
  SetMaxBandwidth(IntegerParam(text, "MAXBANDWIDTH", MaxBandwidth()));
}

// ---- Serial port scan ---------------------------------------------------------------------

bool TTrvDevice::ProbeSerialPort(TTrvSerial& probe, const std::string& name) {
  constexpr int kErrorFileNotFound = 2;
  bool exists = false;
  // A probe that fails in another way than by the code tells nothing more: the failure is
  // swallowed, the port closed, and the next probe follows.
  try {
    probe.Connect(name);
    exists = probe.LastError() != kErrorFileNotFound;
  } catch (const std::exception&) {
  }
  try {
    probe.CloseSocket();
  } catch (const std::exception&) {
  }
  return exists;
}

void TTrvDevice::AcharPortasSeriais(std::vector<std::string>& list, int UltimaPorta) {
  list.clear();
  TTrvSerial probe(fPortFactory());  // the class's defaults: RaiseExcept off
  for (int number = 1; number <= UltimaPorta; ++number) {
    const std::string name = "COM" + std::to_string(number);
    if (ProbeSerialPort(probe, name)) list.push_back(name);
  }
}

// ---- Print positioning --------------------------------------------------------------------

void TTrvDevice::ImprimePos(int Linha, int Coluna, const Bytes& AString) {
  if (AString.empty() || Linha < 0 || Coluna < 0) return;
  Bytes prefix;
  if (Linha < PosImp.X) Eject();
  if (Linha > PosImp.X) {
    prefix.append(static_cast<size_t>(int64_t{Linha} - PosImp.X), kLineFeed);
    PosImp.X = Linha;
  }
  if (Coluna < PosImp.Y) {
    prefix += kCarriageReturn;
    PosImp.Y = 0;
  }
  if (Coluna > PosImp.Y) {
    prefix.append(static_cast<size_t>(int64_t{Coluna} - PosImp.Y), ' ');
    PosImp.Y = Coluna;
  }
  EnviaString(prefix + AString);
  PosImp.Y = SaturatedAdd(PosImp.Y, static_cast<int64_t>(AString.size()));
}

void TTrvDevice::Eject() {
  EnviaString(Bytes(1, kFormFeed));
  PosImp.X = 0;
}

}  // namespace trv
