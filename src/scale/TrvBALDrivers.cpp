#include "scale/TrvBALDrivers.h"

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

}  // namespace

std::unique_ptr<TTrvBALClass> CreateScaleDriver(uint8_t model, TComponent* owner) {
  const Constructor make = model < std::size(kDrivers) ? kDrivers[model] : &Make<TTrvBALClass>;
  return make(owner);
}

}  // namespace trv
