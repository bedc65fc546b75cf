#include "scale/TrvBALDrivers.h"

#include "scale/TrvBAL.h"

#include "scale/TrvBALDigitron.h"
#include "scale/TrvBALFilizola.h"
#include "scale/TrvBALLucasTec.h"
#include "scale/TrvBALMagna.h"
#include "scale/TrvBALToledo.h"
#include "scale/TrvBALToledo2180.h"
#include "scale/TrvBALUrano.h"

namespace trv {
namespace {

template <typename Driver>
std::unique_ptr<TTrvBALClass> Make(TComponent* owner) {
  return std::make_unique<Driver>(owner);
}

using Constructor = std::unique_ptr<TTrvBALClass> (*)(TComponent*);

// One constructor per model ordinal.
constexpr Constructor kDrivers[] = {
    &Make<TTrvBALClass>,       // balNenhum
    &Make<TTrvBALFilizola>,    // balFilizola
    &Make<TTrvBALToledo>,      // balToledo
    &Make<TTrvBALToledo2180>,  // balToledo2180
    &Make<TTrvBALUrano>,       // balUrano
    &Make<TTrvBALLucasTec>,    // balLucasTec
    &Make<TTrvBALMagna>,       // balMagna
    &Make<TTrvBALDigitron>,    // balDigitron
};

template <typename Driver>
constexpr ScaleDriverProtocol Protocol(TTrvBALModelo model) {
  return {model, Driver::kModelName, &Driver::Request, &Driver::ParseAnswer};
}

constexpr ScaleDriverProtocol kProtocols[] = {
    Protocol<TTrvBALFilizola>(balFilizola),     Protocol<TTrvBALToledo>(balToledo),
    Protocol<TTrvBALToledo2180>(balToledo2180), Protocol<TTrvBALUrano>(balUrano),
    Protocol<TTrvBALLucasTec>(balLucasTec),     Protocol<TTrvBALMagna>(balMagna),
    Protocol<TTrvBALDigitron>(balDigitron),
};

}  // namespace

std::span<const ScaleDriverProtocol> ScaleDriverProtocols() {
  return kProtocols;
}

std::unique_ptr<TTrvBALClass> CreateScaleDriver(uint8_t model, TComponent* owner) {
  const Constructor make = model < std::size(kDrivers) ? kDrivers[model] : &Make<TTrvBALClass>;
  return make(owner);
}

}  // namespace trv
