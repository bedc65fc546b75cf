#include "WeighingSession.h"

#include <cstdint>

#include "CommandLoop.h"
#include "ExitCodes.h"
#include "control/FormProperties.h"
#include "platform/Clock.h"

namespace trv::cli {
namespace {

constexpr double kNoAnswerCode = -9;
constexpr uint32_t kLoopSliceMs = 50;
const char kReadingError[] = "Erro na Leitura";

bool IsErrorText(const std::string& text) {
  return text.rfind("Erro", 0) == 0;
}

}  // namespace

WeighingSession::WeighingSession(const FormSettings& settings, std::ostream& out, std::ostream& err,
                                 ScalePort port)
    : out_(out), err_(err), form_(nullptr, ui_.Controls(), std::move(port)) {
  ui_.SetOnStatus([this](const std::string& text) { OnStatus(text); });
  ui_.SetOnBox([this](const HeadlessControls::Box& box) { OnBox(box); });
  // The form shows nothing for a reading without an answer; the command says so.
  auto showReading = form_.balanca().OnLePeso;
  form_.balanca().OnLePeso = [this, showReading](double peso, const Bytes& resposta) {
    showReading(peso, resposta);
    if (peso == kNoAnswerCode) ReportMissingAnswer(peso);
  };
  FormProperties::Configure(form_, settings);
}

WeighingSession::~WeighingSession() {
  // The form outlives nothing it reports to: no status may reach the streams while it goes.
  ui_.SetOnStatus(nullptr);
  ui_.SetOnBox(nullptr);
}

void WeighingSession::OnStatus(const std::string& text) {
  if (text.rfind(kReadingError, 0) == 0) readingFailed_ = true;
  if (!printing_) {
    held_ = text;
    return;
  }
  (IsErrorText(text) ? err_ : out_) << text << std::endl;
}

void WeighingSession::OnBox(const HeadlessControls::Box& box) {
  boxShown_ = true;
  err_ << "Erro: " << box.text << std::endl;
}

void WeighingSession::ReportMissingAnswer(double weight) {
  err_ << "travinel: no weight from the scale within the time-out (code " << weight << ")"
       << std::endl;
}

bool WeighingSession::PortIsSerial() {
  // The device opens any other name as a file or printer port; a scale needs a serial one.
  TTrvDevice& device = form_.balanca().Device();
  device.SetPorta(form_.PortName(form_.Porta()));
  if (device.IsSerialPort()) return true;
  err_ << "travinel: " << device.Porta()
       << " is not a serial port (missing, or not a serial device)" << std::endl;
  return false;
}

int WeighingSession::Enable() {
  if (!PortIsSerial()) return kExitPortFailure;
  form_.SetUsrBal(1);
  if (form_.balanca().Ativo()) return kExitOk;
  // A box already told why (no model); otherwise the status line did.
  if (!printing_ && !boxShown_ && !held_.empty()) err_ << held_ << std::endl;
  return form_.ModBal() == 0 ? kExitUsage : kExitPortFailure;
}

int WeighingSession::Ler(bool verbose) {
  printing_ = verbose;
  const int enabled = Enable();
  printing_ = true;
  if (enabled != kExitOk) return enabled;
  form_.LerPeso();
  return OutcomeOfReading();
}

int WeighingSession::OutcomeOfReading() {
  if (readingFailed_) return kExitFailure;
  const double weight = form_.balanca().UltimoPesoLido();
  if (weight > 0.0) return kExitOk;
  if (weight == kNoAnswerCode) return kExitNoAnswer;
  return kExitNotAWeight;
}

int WeighingSession::Monitorar(CommandLoop& loop, int seconds) {
  const int enabled = Enable();
  if (enabled != kExitOk) return enabled;
  if (!KeepPolling(loop, seconds)) return kExitFailure;
  // The end is the user's untick of the box: the scale closes, "Balança Desativada".
  form_.Controls().chkBalanca.SetChecked(false);
  return kExitOk;
}

bool WeighingSession::KeepPolling(CommandLoop& loop, int seconds) {
  platform::Clock& clock = platform::CurrentClock();
  const uint64_t end = clock.Milliseconds() + static_cast<uint64_t>(seconds) * 1000;
  while (seconds == 0 || clock.Milliseconds() < end) {
    if (!loop.RunFor(kLoopSliceMs)) return true;
    // The polling's error path unticks the box: the scale is closed and the timer stopped.
    if (!form_.balanca().Ativo() && !form_.timePeso().Enabled()) return false;
  }
  return true;
}

}  // namespace trv::cli
