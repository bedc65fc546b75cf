#pragma once

#include <cstdint>
#include <string>

namespace trv::tools {

// What the scale shows: a settled weight, a weight still moving, a load below zero, or more
// than the scale can weigh.
enum class ScaleState { Stable, Unstable, Negative, Overload };

// The reading a simulated scale answers with: a weight in grams and its state.
struct ScaleReading {
  int64_t grams = 0;
  ScaleState state = ScaleState::Stable;
};

// "stable", "unstable", "negative", "overload" (any letter case); false for other names.
bool ParseScaleState(const std::string& name, ScaleState& state);
const char* ScaleStateName(ScaleState state);

}  // namespace trv::tools
