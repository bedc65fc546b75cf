#pragma once

#include <string>

namespace trv::service {

// What a reading or a status of the weighing form means to a page, in words a program can test:
// "estado" names the outcome and "ok" is true for a weight alone. The form's own PesoLido and
// status line say the same to a person, with codes in place of a weight.
class ReadingState {
 public:
  // A reading on demand: whether the scale could be enabled, whether the reading raised an
  // error, and the scale component's last weight or code.
  static std::string OfReading(bool enabled, bool failed, double weightOrCode);
  // A status the form showed while pages listen.
  static std::string OfStatus(const std::string& status);
  static bool IsWeight(const std::string& estado) { return estado == kWeight; }

  static constexpr const char* kWeight = "peso";
  static constexpr const char* kEmpty = "vazia";
  static constexpr const char* kUnstable = "instavel";
  static constexpr const char* kNegative = "negativo";
  static constexpr const char* kNoAnswer = "sem_resposta";
  static constexpr const char* kOverload = "sobrecarga";
  static constexpr const char* kPortUnavailable = "porta_indisponivel";
  static constexpr const char* kReadError = "erro_leitura";
  static constexpr const char* kDisabled = "desativada";
  // The scale's device is missing (an adapter unplugged): a reading found no port to open, or
  // the device that listeners were reading vanished.
  static constexpr const char* kDisconnected = "desconectada";
  // Events only: the scale is being enabled, or will be tried again after an error, or its
  // device came back after it had vanished.
  static constexpr const char* kEnabling = "pronta";
  static constexpr const char* kRetrying = "reativando";
  static constexpr const char* kReconnected = "reconectada";
};

}  // namespace trv::service
