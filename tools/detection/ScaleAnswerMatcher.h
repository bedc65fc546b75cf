#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bytes.h"

namespace trv::detection {

// A scale model that read an answer as a weight.
struct ModelReading {
  int model = 0;      // Mod_Bal
  std::string name;   // the driver's model name
  double weight = 0;  // kilograms
};

// Decides which scale model answered, by offering the bytes to the drivers' own parsers.
// Only an answer that some driver reads as a weight identifies a model: every parser turns
// arbitrary text into "no weight" or another code, so codes tell nothing of the model.
class ScaleAnswerMatcher {
 public:
  // The distinct requests of the models, each once (several models ask alike).
  static std::vector<Bytes> DistinctRequests();

  // The models that read `answer` as a weight, the most telling first. `request` is what was
  // sent (only the models that send it are asked), or nothing for what the line said unasked
  // (every model is asked: streaming scales; a model must then read the same weight however
  // much of the stream's start was missed). Bytes that are not a scale's text (what a wrong
  // speed or parity makes of an answer) match no model.
  static std::vector<ModelReading> Match(const Bytes& answer, const std::optional<Bytes>& request);

  // Whether the bytes can be a scale's answer at all: printable ASCII, STX, ETX, tab, CR, LF.
  static bool LooksLikeScaleText(const Bytes& answer);
};

}  // namespace trv::detection
