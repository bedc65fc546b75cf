#include "PortOutcome.h"

namespace trv::detection {

std::string PortOutcome::Description() const {
  switch (kind) {
    case Kind::kFound:
      return "";
    case Kind::kNoWeight:
      return "respondeu em " + line.Text() +
             ", mas sem peso: coloque um objeto sobre a balança e procure de novo";
    case Kind::kSilent:
      return "nenhuma balança respondeu";
    case Kind::kBusy:
      return "em uso (outro programa está com a porta aberta)";
    case Kind::kNotSerial:
      return "não é uma porta serial (nada foi aberto)";
    case Kind::kOpenFailed:
      return "não abriu: " + reason;
    case Kind::kOutOfTime:
      return "tempo esgotado antes de tentar todas as velocidades";
  }
  return "";
}

}  // namespace trv::detection
