#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control/FormControls.h"
#include "control/FormEventSink.h"
#include "platform/Bytes.h"
#include "platform/TComponent.h"
#include "platform/Timer.h"
#include "scale/TrvBAL.h"

namespace trv {

// The weighing form: keeps the integer configuration the host writes, turns it into the scale
// component's settings, opens the scale, polls it every 3000 ms and shows each reading in its
// status line. Its controls come from outside (a Win32 window, or headless ones), so the same
// behaviour runs in the control, in the command line and in tests.
class TFfrmActivexForm : public TComponent {
 public:
  // port: the serial port of the scale; the operating system's when null.
  TFfrmActivexForm(TComponent* owner, FormControls controls, ScalePort port = nullptr);
  ~TFfrmActivexForm() override;

  // Handlers of the form's controls, timer and scale.
  void chkBalancaClick();
  void timePesoTimer();
  void SpeedButton1Click();
  void balancaLePeso(double Peso, const Bytes& Resposta);
  void txtPesoEnter();
  void txtPesoExit();
  void Button1Click();

  // One reading for the host; the weight lands in PesoLido. Exceptions that carry a message
  // end in the status line; any other kind is raised to the caller.
  void LerPeso();

  // Configuration, as the host writes it. Only Usr_Bal acts when written; the others take
  // effect at the next configuration.
  int Porta() const { return Por_Bal; }
  void SetPorta(int value) { Por_Bal = value; }
  int ModBal() const { return Mod_Bal; }
  void SetModBal(int value) { Mod_Bal = value; }
  int HndBal() const { return Hnd_Bal; }
  void SetHndBal(int value) { Hnd_Bal = value; }
  int ParBal() const { return Par_Bal; }
  void SetParBal(int value) { Par_Bal = value; }
  int StpBal() const { return Stp_Bal; }
  void SetStpBal(int value) { Stp_Bal = value; }
  int BitBal() const { return Bit_Bal; }
  void SetBitBal(int value) { Bit_Bal = value; }
  int VelBal() const { return Vel_Bal; }
  void SetVelBal(int value) { Vel_Bal = value; }
  int UniBal() const { return Uni_Bal; }
  void SetUniBal(int value) { Uni_Bal = value; }
  int UsrBal() const { return Usr_Bal; }
  // Stores the value, then enables the scale for 1 and disables it for anything else.
  void SetUsrBal(int value);
  int DecBal() const { return Dec_Bal; }
  void SetDecBal(int value) { Dec_Bal = value; }
  double PesoLido() const { return FPesoLido; }
  void SetPesoLido(double value) { FPesoLido = value; }

  // Binds the form's ten events to the relays that pass them to the host's sink.
  void Initialize();
  // The host connected its event sink (or disconnected it, with null). The first connection
  // with a sink runs the form's creation event, so the host receives OnCreate once.
  void EventSinkChanged(std::shared_ptr<FormEventSink> sink);

  // The form's own events, raised by its window.
  std::function<void()> OnActivate;
  std::function<void()> OnClick;
  std::function<void()> OnCreate;
  std::function<void()> OnDblClick;
  std::function<void()> OnDestroy;
  std::function<void()> OnDeactivate;
  std::function<void(char16_t& key)> OnKeyPress;
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseLeave;
  std::function<void()> OnPaint;

  TTrvBAL& balanca() { return *balanca_; }
  TTimer& timePeso() { return *timePeso_; }
  const FormControls& Controls() const { return controls_; }

  // The port name of a port number: "com" and the number. The command line replaces it to
  // reach devices that have a path rather than a number (a pseudo-terminal, a USB adapter).
  std::function<std::string(int)> PortName;

  // Asked before the scale is configured and its port opened, from every path that opens it;
  // throws to refuse (the control refuses web pages that are not allowed to use the scale).
  // Unset: every caller may.
  std::function<void()> CheckPortAccess;

 private:
  void HabilitarBalanca();
  void DesabilitarBalanca();
  // The configuration sequence: the model first (a new driver resets the line), then the line.
  void ConfigureScale();
  void SetStatus(const std::string& text) { controls_.lmm.SetCaption(text); }

  // The relay of one event to the host's sink; nothing without a sink.
  void Relay(FormEventSink::Event event);
  void RelayKeyPress(char16_t& key);

  FormControls controls_;
  std::shared_ptr<FormEventSink> events_;
  int sinkChanges_ = 0;
  std::unique_ptr<TTimer> timePeso_;
  std::unique_ptr<TTrvBAL> balanca_;

  int Por_Bal = 0;
  int Mod_Bal = 0;
  int Hnd_Bal = 0;
  int Par_Bal = 0;
  int Stp_Bal = 0;
  int Bit_Bal = 0;
  int Vel_Bal = 0;
  int Uni_Bal = 0;
  int Usr_Bal = 0;
  int Dec_Bal = 0;
  double FPesoLido = 0;
};

}  // namespace trv
