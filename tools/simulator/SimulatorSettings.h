#pragma once

#include <string>

#include "ScaleReading.h"

namespace trv::tools {

// How the simulated scale behaves: what it weighs, which protocol it speaks and how it answers.
struct SimulatorSettings {
  std::string protocol = "filizola";
  // One of the protocol's other frame kinds; empty for its usual answer.
  std::string frame;
  ScaleReading reading;
  // Time from a request to the start of its answer.
  int delayMs = 0;
  // When positive, the answer goes in two halves this far apart.
  int splitMs = 0;
  // A silent scale sends nothing at all.
  bool silent = false;
  // The next this many answers show an unstable weight, whatever the reading's state.
  int unstableAnswers = 0;
  // When positive, the scale also sends its answer by itself at this interval.
  int unsolicitedMs = 0;
};

}  // namespace trv::tools
