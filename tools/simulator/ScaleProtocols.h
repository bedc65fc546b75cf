#pragma once

#include <memory>
#include <string>

#include "ScaleProtocol.h"

namespace trv::tools {

// The protocol of a name (any letter case); null for a name no protocol has.
std::unique_ptr<ScaleProtocol> MakeScaleProtocol(const std::string& name);

// The names MakeScaleProtocol knows, separated by ", " (for help and error texts).
std::string ScaleProtocolNames();

// The frame kinds of a protocol, "answer" first, separated by ", "; empty for an unknown name.
std::string ScaleFrameKinds(const std::string& name);

}  // namespace trv::tools
