#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/TComponent.h"
#include "scale/TrvBALClass.h"

namespace trv {

// The driver of a scale model: the model's protocol, or the base class (no protocol) for
// balNenhum and any ordinal without a driver. Each driver joins the table in the source.
std::unique_ptr<TTrvBALClass> CreateScaleDriver(uint8_t model, TComponent* owner);

// A model's protocol as its driver speaks it, for code that holds bytes but no port (finding
// which scale sits on a port): the request the driver sends and its parser of an answer.
struct ScaleDriverProtocol {
  uint8_t model;
  const char* name;  // the driver's model name
  Bytes (*request)();
  double (*parseAnswer)(const Bytes& answer);
};

// The protocols of the seven models, in model order (balFilizola first).
std::span<const ScaleDriverProtocol> ScaleDriverProtocols();

}  // namespace trv
