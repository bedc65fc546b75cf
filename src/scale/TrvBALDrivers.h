#pragma once

#include <cstdint>
#include <memory>

#include "platform/TComponent.h"
#include "scale/TrvBALClass.h"

namespace trv {

// The driver of a scale model: the model's protocol, or the base class (no protocol) for
// balNenhum and any ordinal without a driver. Each driver joins the table in the source.
std::unique_ptr<TTrvBALClass> CreateScaleDriver(uint8_t model, TComponent* owner);

}  // namespace trv
