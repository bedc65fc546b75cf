#include "control/WeightCodeStatus.h"

#include <cstdint>

#include "scale/TrvBALClass.h"

namespace trv {

bool WeightCodeStatus::TextOf(double weight, std::string& text) {
  // A value beyond the 32-bit range is no code at all (and truncating it would be undefined).
  if (!(weight > -2147483649.0 && weight < 2147483648.0)) return false;
  const double code = static_cast<int32_t>(weight);
  if (code == weight_code::kOverload) {
    text = "Sobrepeso.";
  } else if (code == weight_code::kNegative) {
    text = "Peso Negativo.";
  } else if (code == weight_code::kUnstable) {
    text = "Peso Instavel Aguarde Nova Leitura";
  } else if (code == weight_code::kNoWeight) {
    text = "Coloque o Objeto sobre a Balança!";
  } else {
    return false;
  }
  return true;
}

}  // namespace trv
