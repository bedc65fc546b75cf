#include "scale/TrvBALDrivers.h"

#include "scale/TrvBAL.h"
#include "scale/TrvBALFilizola.h"

namespace trv {
namespace {

template <typename Driver>
std::unique_ptr<TTrvBALClass> Make(TComponent* owner) {
  return std::make_unique<Driver>(owner);
}

using Constructor = std::unique_ptr<TTrvBALClass> (*)(TComponent*);

// One constructor per model ordinal.
constexpr Constructor kDrivers[] = {
    &Make<TTrvBALClass>,     // balNenhum
    &Make<TTrvBALFilizola>,  // balFilizola
};

}  // namespace

std::unique_ptr<TTrvBALClass> CreateScaleDriver(uint8_t model, TComponent* owner) {
  const Constructor make = model < std::size(kDrivers) ? kDrivers[model] : &Make<TTrvBALClass>;
  return make(owner);
}

}  // namespace trv
