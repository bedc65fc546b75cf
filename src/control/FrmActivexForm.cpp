#include "control/FrmActivexForm.h"

#include "control/WeightCodeStatus.h"
#include "control/WeightText.h"

namespace trv {
namespace {

constexpr int kReadTimeout = 2000;  // ms of a reading on demand or by polling
constexpr uint32_t kPollInterval = 3000;

const char kNotConfigured[] = "Balança não configurada.";
const char kErrorCaption[] = "Erro:";
const char kConfigurationError[] = "Erro na configuração, ou balança desligada: ";

}  // namespace

TFfrmActivexForm::TFfrmActivexForm(TComponent* owner, FormControls controls, ScalePort port)
    : TComponent(owner), controls_(controls) {
  PortName = [](int number) { return "com" + std::to_string(number); };
  controls_.chkBalanca.OnClick = [this] { chkBalancaClick(); };

  timePeso_ = std::make_unique<TTimer>(this);
  timePeso_->SetEnabled(false);
  timePeso_->SetInterval(kPollInterval);
  timePeso_->SetOnTimer([this](TTimer&) { timePesoTimer(); });

  balanca_ = std::make_unique<TTrvBAL>(this, std::move(port));
  balanca_->SetPorta("COM1");
  balanca_->SetMonitorarBalanca(true);
  balanca_->OnLePeso = [this](double peso, const Bytes& resposta) {
    balancaLePeso(peso, resposta);
  };
}

TFfrmActivexForm::~TFfrmActivexForm() {
  // The controls outlive nothing here: no handler may reach them while the parts go.
  controls_.chkBalanca.OnClick = nullptr;
  timePeso_->SetEnabled(false);
  balanca_.reset();
}

void TFfrmActivexForm::ConfigureScale() {
  if (CheckPortAccess) CheckPortAccess();
  if (balanca_->Ativo()) balanca_->Desativar();
  balanca_->SetModelo(static_cast<uint8_t>(Mod_Bal & 0xFF));
  TTrvDevice& device = balanca_->Device();
  device.SetHandShake(static_cast<uint8_t>(Hnd_Bal & 0xFF));
  device.SetParity(static_cast<uint8_t>(Par_Bal & 0xFF));
  device.SetStop(static_cast<uint8_t>(Stp_Bal & 0xFF));
  device.SetData(Bit_Bal);
  device.SetBaud(Vel_Bal);
  device.SetPorta(PortName(Por_Bal));
}

void TFfrmActivexForm::HabilitarBalanca() {
  if (Mod_Bal == 0) {
    SetStatus(kNotConfigured);
    controls_.boxes.ShowError(kNotConfigured, kErrorCaption);
    controls_.chkBalanca.SetChecked(false);
    return;
  }
  try {
    ConfigureScale();
    SetStatus("Aguarde...");
    balanca_->Ativar();
    SetStatus("Balança Pronta");
    timePeso_->SetEnabled(true);
    controls_.chkBalanca.SetChecked(true);
  } catch (const std::exception& e) {
    SetStatus(kConfigurationError + std::string(e.what()));
    controls_.chkBalanca.SetChecked(false);
  }
}

void TFfrmActivexForm::DesabilitarBalanca() {
  try {
    if (balanca_->Ativo()) {
      balanca_->Desativar();
      timePeso_->SetEnabled(false);
    }
    controls_.chkBalanca.SetChecked(false);
    SetStatus("Balança Desativada");
  } catch (const std::exception& e) {
    SetStatus(kConfigurationError + std::string(e.what()));
    controls_.chkBalanca.SetChecked(false);
  }
}

void TFfrmActivexForm::chkBalancaClick() {
  if (controls_.chkBalanca.Checked()) {
    HabilitarBalanca();
  } else {
    DesabilitarBalanca();
  }
}

void TFfrmActivexForm::SetUsrBal(int value) {
  Usr_Bal = value;
  if (value == 1) {
    HabilitarBalanca();
  } else {
    DesabilitarBalanca();
  }
}

void TFfrmActivexForm::timePesoTimer() {
  try {
    if (!balanca_->Ativo()) {
      SetStatus("Balança não disponivel");
      return;
    }
    try {
      balanca_->LePeso(kReadTimeout);
    } catch (const std::exception& e) {
      SetStatus("Erro na Leitura do peso: " + std::string(e.what()));
      if (controls_.chkBalanca.Checked()) controls_.chkBalanca.SetChecked(false);
      Usr_Bal = 0;
      if (balanca_->Ativo()) balanca_->Desativar();
    }
  } catch (...) {
    SetStatus("Balança não disponivel");
  }
}

void TFfrmActivexForm::SpeedButton1Click() {
  auto closeScale = [this] {
    if (balanca_->Ativo()) balanca_->Desativar();
  };
  try {
    ConfigureScale();
    balanca_->Ativar();
    balanca_->LePeso(kReadTimeout);
  } catch (const std::exception& e) {
    controls_.boxes.ShowError("Erro na configuração: " + std::string(e.what()), kErrorCaption);
  } catch (...) {
    closeScale();
    throw;
  }
  closeScale();
}

void TFfrmActivexForm::balancaLePeso(double Peso, const Bytes&) {
  std::string unit = "gramas";
  std::string text;
  if (Uni_Bal == 1) {
    unit = "kilogramas";
    if (Dec_Bal == 1) {
      text = WeightText::Format(Peso, 3);
    } else {
      if (!(Peso >= 1.0)) {
        Peso *= 1000;
        unit = "gramas";
      }
      text = WeightText::Format(Peso, 0);
    }
  } else {
    Peso *= 1000;
    text = WeightText::Format(Peso, 0);
  }
  controls_.txtPeso.SetText(text);

  if (Peso > 0.0) {
    SetStatus("Peso Aferido: " + text + " " + unit);
    FPesoLido = WeightText::Parse(text);
    return;
  }
  std::string status;
  if (WeightCodeStatus::TextOf(balanca_->UltimoPesoLido(), status)) SetStatus(status);
}

void TFfrmActivexForm::LerPeso() {
  double result = 0.0;
  if (balanca_->Ativo()) {
    try {
      balanca_->LePeso(kReadTimeout);
      result = WeightText::Parse(controls_.txtPeso.Text());
    } catch (const std::exception& e) {
      SetStatus("Erro na Leitura: " + std::string(e.what()));
      result = 0.0;
    }
  }
  FPesoLido = result;
}

void TFfrmActivexForm::Initialize() {
  using E = FormEventSink;
  OnActivate = [this] { Relay(E::kOnActivate); };
  OnClick = [this] { Relay(E::kOnClick); };
  OnCreate = [this] { Relay(E::kOnCreate); };
  OnDblClick = [this] { Relay(E::kOnDblClick); };
  OnDeactivate = [this] { Relay(E::kOnDeactivate); };
  OnDestroy = [this] { Relay(E::kOnDestroy); };
  OnKeyPress = [this](char16_t& key) { RelayKeyPress(key); };
  OnMouseEnter = [this] { Relay(E::kOnMouseEnter); };
  OnMouseLeave = [this] { Relay(E::kOnMouseLeave); };
  OnPaint = [this] { Relay(E::kOnPaint); };
}

void TFfrmActivexForm::EventSinkChanged(std::shared_ptr<FormEventSink> sink) {
  events_ = std::move(sink);
  const bool first = sinkChanges_++ == 0;
  if (first && events_ && OnCreate) OnCreate();
}

void TFfrmActivexForm::Relay(FormEventSink::Event event) {
  if (events_) events_->Fire(event);
}

void TFfrmActivexForm::RelayKeyPress(char16_t& key) {
  auto value = static_cast<int16_t>(key);
  if (events_) events_->FireKeyPress(value);
  key = static_cast<char16_t>(value);
}

void TFfrmActivexForm::txtPesoEnter() {
  timePeso_->SetEnabled(true);
}

void TFfrmActivexForm::txtPesoExit() {
  timePeso_->SetEnabled(false);
}

void TFfrmActivexForm::Button1Click() {
  controls_.boxes.Show("oi");
}

}  // namespace trv
