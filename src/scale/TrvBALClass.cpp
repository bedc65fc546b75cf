#include "scale/TrvBALClass.h"

#include <cstdlib>

#include "device/TrvBase.h"
#include "platform/Clock.h"
#include "scale/ScaleNumbers.h"
#include "scale/TrvBAL.h"

namespace trv {
namespace {

constexpr char kOwnerMessage[] = "Essa Classe deve ser instanciada por TTrvBAL";
constexpr char kNoLePesoMessage[] = "Fun\xE7\xE3o LePeso n\xE3o implementada em: ";
constexpr char kNoLeSerialMessage[] = "Procedure LeSerial n\xE3o implementada em: ";
constexpr char kUndefinedModel[] = "N\xE3o Definida";
constexpr int kAnswerPause = 200;  // ms between a request and its reception

TTrvDevice* DeviceOfOwner(TComponent* owner) {
  auto* scale = dynamic_cast<TTrvBAL*>(owner);
  if (scale == nullptr) throw Exception(DecodeMessage(kOwnerMessage));
  return &scale->Device();
}

}  // namespace

TTrvBALClass::TTrvBALClass(TComponent* AOwner) : fpDevice(DeviceOfOwner(AOwner)) {
  fpDevice->SetDefaultValues();
  SetModeloStr(kUndefinedModel);
}

TTrvBALClass::~TTrvBALClass() = default;  // the device belongs to the scale component

void TTrvBALClass::SetModeloStr(const Bytes& windows1252Name) {
  fpModeloStr = DecodeMessage(windows1252Name);
}

void TTrvBALClass::Ativar() {
  if (fpAtivo) return;
  if (!fpDevice->Porta().empty()) fpDevice->Ativar();
  fpAtivo = true;
  fpUltimaResposta.clear();
  fpUltimoPesoLido = 0;
}

void TTrvBALClass::Desativar() {
  if (!fpAtivo) return;
  if (!fpDevice->Porta().empty()) fpDevice->Desativar();
  fpAtivo = false;
}

double TTrvBALClass::LePeso(int) {
  throw Exception(DecodeMessage(kNoLePesoMessage) + fpModeloStr);
}

void TTrvBALClass::LeSerial(int) {
  throw Exception(DecodeMessage(kNoLeSerialMessage) + fpModeloStr);
}

void TTrvBALClass::ClearReading() {
  fpUltimoPesoLido = 0;
  fpUltimaResposta.clear();
}

void TTrvBALClass::SendRequest(const Bytes& request) {
  Serial().Purge();
  fpDevice->EnviaString(request);
  platform::CurrentClock().Sleep(kAnswerPause);
}

double TTrvBALClass::RequestOnce(const Bytes& request, int MillisecTimeOut) {
  SendRequest(request);
  LeSerial(MillisecTimeOut);
  return fpUltimoPesoLido;
}

double TTrvBALClass::RequestUntilWeight(const Bytes& request, int MillisecTimeOut) {
  platform::Clock& clock = platform::CurrentClock();
  const auto deadline = static_cast<int64_t>(clock.Milliseconds()) + MillisecTimeOut;
  double result = 0;
  while (result <= 0 && static_cast<int64_t>(clock.Milliseconds()) < deadline) {
    SendRequest(request);
    // What is left of the time-out, or, past the deadline, by how much it was passed.
    const int64_t left = std::llabs(deadline - static_cast<int64_t>(clock.Milliseconds()));
    LeSerial(static_cast<int>(std::min<int64_t>(left, INT32_MAX)));
    result = fpUltimoPesoLido;
  }
  return result;
}

void TTrvBALClass::ReadAnswer(const std::function<Bytes()>& receive,
                              const std::function<double(const Bytes&)>& parse) {
  ClearReading();
  try {
    fpUltimaResposta = receive();
    fpUltimoPesoLido = parse(fpUltimaResposta);
  } catch (...) {
    fpUltimoPesoLido = weight_code::kReadFailure;
  }
}

double TTrvBALClass::ConvertField(const std::string& field, double divisor) {
  const std::string marked = ScaleNumbers::WithDecimalSeparator(field);
  double weight = 0;
  if (TryConvertNumber(marked, divisor, weight)) return weight;
  return StatusCode(ScaleNumbers::Trim(marked));
}

double TTrvBALClass::ConvertSignedField(const std::string& field, double divisor) {
  const std::string marked = ScaleNumbers::WithDecimalSeparator(field);
  double weight = 0;
  if (TryConvertNumber(marked, divisor, weight)) return NegativeAsCode(weight);
  return StatusCode(ScaleNumbers::Trim(marked));
}

bool TTrvBALClass::TryConvertNumber(const std::string& markedField, double divisor,
                                    double& weight) {
  if (ScaleNumbers::ContainsDecimalSeparator(markedField)) {
    return ScaleNumbers::TryToDecimal(markedField, weight);
  }
  int32_t count = 0;
  if (!ScaleNumbers::TryToInteger(markedField, count)) return false;
  weight = count / divisor;
  return true;
}

bool TTrvBALClass::TryConvertLongField(const std::string& field, double& weight) {
  const std::string head = ScaleNumbers::WithDecimalSeparator(field.substr(0, 6));
  if (!ScaleNumbers::TryToDecimal(head, weight)) return false;
  weight /= 1000;
  return true;
}

double TTrvBALClass::NegativeAsCode(double weight) {
  return weight < 0 ? weight_code::kNegative : weight;
}

double TTrvBALClass::StatusCode(const std::string& trimmedField) {
  if (trimmedField.empty()) return weight_code::kReadFailure;
  switch (trimmedField.front()) {
    case 'I':
      return weight_code::kUnstable;
    case 'N':
      return weight_code::kNegative;
    case 'S':
      return weight_code::kOverload;
    default:
      return weight_code::kNoWeight;
  }
}

}  // namespace trv
