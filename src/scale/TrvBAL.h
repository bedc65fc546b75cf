#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/TrvBase.h"
#include "device/TrvDevice.h"
#include "platform/Bytes.h"
#include "platform/Timer.h"
#include "scale/TrvBALClass.h"

namespace trv {

enum TTrvBALModelo : uint8_t {
  balNenhum,
  balFilizola,
  balToledo,
  balToledo2180,
  balUrano,
  balLucasTec,
  balMagna,
  balDigitron,
};

// The serial port a scale component reads through: a scripted one in tests, or null for the
// operating system's port. Layers above the scale name it by this name alone.
using ScalePort = std::unique_ptr<CommPort>;

// The weight event: a weight in kg or a weight code, and the raw answer it came from.
using TTrvBALLePeso = std::function<void(double Peso, const Bytes& Resposta)>;

// The scale component: the one object through which a program reads a scale. It owns the
// device, the driver of the selected model and a timer that watches the port for what the
// scale sends by itself; every reading ends with OnLePeso.
class TTrvBAL : public TTrvComponent {
 public:
  // port: the serial port of the device; the operating system's when null.
  explicit TTrvBAL(TComponent* AOwner, ScalePort port = nullptr);
  ~TTrvBAL() override;

  void Ativar();
  void Desativar();
  // One reading on demand; leaves the active state and the monitoring as it found them.
  double LePeso(int MillisecTimeOut);
  // One tick of the monitoring timer.
  virtual void MonitorarTimer(TTimer& Sender);
  // What the monitoring waits on between ticks that would find nothing to read (see
  // TTimer::SetIdleSource). A descendant whose ticks do more than read overrides it to answer -1.
  virtual intptr_t MonitorIdleDescriptor() const;

  TTrvBALModelo Modelo() const { return fsModelo; }
  void SetModelo(uint8_t value);
  const std::string& Porta() const { return fsDevice->Porta(); }
  void SetPorta(const std::string& value) { fsDevice->SetPorta(value); }
  int Intervalo() const { return fsIntervalo; }
  void SetIntervalo(int value);
  bool MonitorarBalanca() const { return fsMonitorarBalanca; }
  void SetMonitorarBalanca(bool value);
  TTrvDevice& Device() { return *fsDevice; }
  double UltimoPesoLido() const { return fsBAL->UltimoPesoLido(); }
  const Bytes& UltimaResposta() const { return fsBAL->UltimaResposta(); }
  bool Ativo() const { return fsAtivo; }
  void SetAtivo(bool value) { value ? Ativar() : Desativar(); }
  TTrvBALClass& BAL() { return *fsBAL; }
  std::string ModeloStr() const;
  // The monitoring timer (for tests and the hosting loop).
  const TTimer& Timer() const { return *fsTimer; }

  TTrvBALLePeso OnLePeso;

 private:
  void RaiseLePeso();

  std::unique_ptr<TTrvDevice> fsDevice;
  std::unique_ptr<TTimer> fsTimer;
  bool fsAtivo = false;
  TTrvBALModelo fsModelo = balNenhum;
  std::unique_ptr<TTrvBALClass> fsBAL;
  bool fsMonitorarBalanca = false;
  int fsIntervalo = 200;
};

}  // namespace trv
