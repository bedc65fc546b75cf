#pragma once

#include <memory>
#include <string>

#include "ScaleProtocol.h"

namespace trv::tools {

// The protocol of a name (any letter case); null for a name no protocol has.
std::unique_ptr<ScaleProtocol> MakeScaleProtocol(const std::string& name);

// The names MakeScaleProtocol knows, separated by ", " (for help and error texts).
std::string ScaleProtocolNames();

}  // namespace trv::tools
