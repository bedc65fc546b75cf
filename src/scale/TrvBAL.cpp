#include "scale/TrvBAL.h"

#include <algorithm>

#include "platform/Text.h"
#include "scale/TrvBALDrivers.h"

namespace trv {
namespace {

constexpr char kModelChangeMessage[] = "N\xE3o \xE9 poss\xEDvel mudar o Modelo com TrvBAL Ativo";
constexpr int kMonitorReceiveTimeout = 500;  // ms a tick waits for the rest of an answer
// The longest line a driver's line reception gathers before it gives up: far beyond every
// scale's answer, and a bound on memory when a line sends bytes without ever a terminator.
constexpr int kMaxAnswerLine = 4096;

}  // namespace

TTrvBAL::TTrvBAL(TComponent* AOwner, ScalePort port) : TTrvComponent(AOwner) {
  fsDevice = std::make_unique<TTrvDevice>(this, std::move(port));
  fsDevice->SetName("TrvDevice");
  fsDevice->SetSubComponent(true);
  fsDevice->SetPorta("COM1");
  fsDevice->Serial->SetDeadlockTimeout(1000);
  // Without a limit, a reception that waits for a line end keeps gathering for as long as bytes
  // come (each packet restarts its time-out): a scale that streams without CR would make it
  // grow without bound. A line not ended within the limit fails the reception, and the driver
  // reads -9; complete lines that a streaming scale queued beyond it are read one by one.
  fsDevice->Serial->SetLineSearchLimit(kMaxAnswerLine);

  fsTimer = std::make_unique<TTimer>(this);
  fsTimer->SetEnabled(false);
  // Dispatched through the virtual call, so a descendant's override is the one that runs.
  fsTimer->SetOnTimer([this](TTimer& sender) { MonitorarTimer(sender); });
  fsTimer->SetIdleSource([this] { return MonitorIdleDescriptor(); });

  fsBAL = CreateScaleDriver(balNenhum, this);
}

TTrvBAL::~TTrvBAL() {
  try {
    Desativar();
  } catch (...) {
    // Closing raises nothing from the port; nothing else may leave a destructor either.
  }
  fsTimer->SetEnabled(false);
  fsTimer.reset();
  fsBAL.reset();
  fsDevice.reset();
}

void TTrvBAL::SetModelo(uint8_t value) {
  if (value == fsModelo) return;
  if (fsAtivo) throw Exception(DecodeMessage(kModelChangeMessage));
  fsBAL.reset();
  fsBAL = CreateScaleDriver(value, this);
  fsModelo = static_cast<TTrvBALModelo>(value);
}

void TTrvBAL::Ativar() {
  if (fsAtivo) return;
  fsBAL->Ativar();
  fsAtivo = true;
  SetIntervalo(fsIntervalo);
}

void TTrvBAL::Desativar() {
  if (!fsAtivo) return;
  fsTimer->SetEnabled(false);
  fsBAL->Desativar();
  fsAtivo = false;
}

void TTrvBAL::SetIntervalo(int value) {
  fsTimer->SetInterval(static_cast<uint32_t>(std::max(value, 0)));
  fsIntervalo = value;
  fsTimer->SetEnabled(fsMonitorarBalanca && fsAtivo && fsIntervalo > 0);
}

void TTrvBAL::SetMonitorarBalanca(bool value) {
  fsMonitorarBalanca = value;
  SetIntervalo(fsIntervalo);
}

std::string TTrvBAL::ModeloStr() const {
  return DecodeMessage(platform::Utf8ToWindows1252(fsBAL->ModeloStr()));
}

double TTrvBAL::LePeso(int MillisecTimeOut) {
  const bool wasActive = fsAtivo;
  const bool wasMonitoring = fsMonitorarBalanca;
  auto restore = [&] {
    SetAtivo(wasActive);
    SetMonitorarBalanca(wasMonitoring);
  };
  double result = 0;
  try {
    SetMonitorarBalanca(false);
    if (!wasActive) Ativar();
    result = fsBAL->LePeso(MillisecTimeOut);
    RaiseLePeso();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

void TTrvBAL::MonitorarTimer(TTimer&) {
  fsTimer->SetEnabled(false);
  TTrvSerial& serial = *fsDevice->Serial;
  if (serial.InstanceActive() && serial.WaitingDataEx() > 0) {
    fsBAL->LeSerial(kMonitorReceiveTimeout);
    RaiseLePeso();
  }
  // Not reached when the reading raised: monitoring then stays off until it is set again.
  fsTimer->SetEnabled(true);
}

intptr_t TTrvBAL::MonitorIdleDescriptor() const {
  // A tick reads only when input waits: in the line buffer (then it must run) or in the driver,
  // which the port's descriptor tells without a tick.
  const TTrvSerial& serial = *fsDevice->Serial;
  if (!serial.InstanceActive() || !serial.LineBuffer().empty()) return -1;
  return serial.InputDescriptor();
}

void TTrvBAL::RaiseLePeso() {
  if (OnLePeso) OnLePeso(fsBAL->UltimoPesoLido(), fsBAL->UltimaResposta());
}

}  // namespace trv
