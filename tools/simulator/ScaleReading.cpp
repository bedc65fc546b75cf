#include "ScaleReading.h"

#include <array>
#include <utility>

#include "SimulatorText.h"
#include "platform/Text.h"

namespace trv::tools {
namespace {

constexpr std::array<std::pair<ScaleState, const char*>, 4> kStateNames{{
    {ScaleState::Stable, "stable"},
    {ScaleState::Unstable, "unstable"},
    {ScaleState::Negative, "negative"},
    {ScaleState::Overload, "overload"},
}};

}  // namespace

bool ParseScaleState(const std::string& name, ScaleState& state) {
  const std::string wanted = platform::AsciiLower(name);
  for (const auto& [value, stateName] : kStateNames) {
    if (wanted == stateName) {
      state = value;
      return true;
    }
  }
  return false;
}

const char* ScaleStateName(ScaleState state) {
  for (const auto& [value, stateName] : kStateNames) {
    if (value == state) return stateName;
  }
  return "?";
}

}  // namespace trv::tools
