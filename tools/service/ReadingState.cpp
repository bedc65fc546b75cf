#include "ReadingState.h"

#include <cmath>
#include <cstring>

#include "scale/TrvBALClass.h"

namespace trv::service {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

std::string ReadingState::OfReading(bool enabled, bool failed, double weightOrCode) {
  if (!enabled) return kPortUnavailable;
  if (failed || std::isnan(weightOrCode)) return kReadError;
  if (weightOrCode > 0) return kWeight;
  struct Code {
    double code;
    const char* estado;
  };
  for (const Code& c :
       {Code{weight_code::kNoWeight, kEmpty}, Code{weight_code::kUnstable, kUnstable},
        Code{weight_code::kNegative, kNegative}, Code{weight_code::kReadFailure, kNoAnswer},
        Code{weight_code::kOverload, kOverload}}) {
    if (weightOrCode == c.code) return c.estado;
  }
  return kReadError;
}

std::string ReadingState::OfStatus(const std::string& status) {
  struct Status {
    const char* text;  // the form's status, or its beginning
    const char* estado;
  };
  static const Status kStatuses[] = {
      {"Peso Aferido: ", kWeight},
      {"Coloque o Objeto sobre a Balança!", kEmpty},
      {"Peso Instavel Aguarde Nova Leitura", kUnstable},
      {"Peso Negativo.", kNegative},
      {"Sobrepeso.", kOverload},
      {"Erro na Leitura", kReadError},
      {"Erro na configuração", kPortUnavailable},
      {"Balança não configurada.", kPortUnavailable},
      {"Balança Desativada", kDisabled},
      {"Balança não disponivel", kDisabled},
      {"Balança desconectada", kDisconnected},
      {"Balança reconectada", kReconnected},
      {"Aguarde...", kEnabling},
      {"Balança Pronta", kEnabling},
  };
  for (const Status& known : kStatuses) {
    if (StartsWith(status, known.text)) return known.estado;
  }
  return kReadError;
}

}  // namespace trv::service
