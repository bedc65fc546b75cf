#include "ControlInterpreter.h"

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "ScaleProtocols.h"
#include "SimulatorText.h"
#include "platform/Text.h"

namespace trv::tools {
namespace {

constexpr int64_t kMaxMilliseconds = 3600000;
constexpr int64_t kMaxCount = 1000000000;
constexpr int64_t kMaxGrams = 1000000000000;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream stream(line);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

std::string ApplyWeight(const std::string& word, int64_t& grams) {
  return text::ParseInteger(word, -kMaxGrams, kMaxGrams, grams) ? "" : "bad weight " + word;
}

std::string ApplyState(const std::string& word, ScaleState& state) {
  if (ParseScaleState(word, state)) return "";
  return "bad state " + word + " (stable, unstable, negative or overload)";
}

std::string ApplyCount(const std::string& word, int& count) {
  int64_t value = 0;
  if (!text::ParseInteger(word, 0, kMaxCount, value)) return "bad count " + word;
  count = static_cast<int>(value);
  return "";
}

std::string ApplySwitch(const std::string& word, bool& value) {
  const std::string lower = platform::AsciiLower(word);
  if (lower != "on" && lower != "off") return "bad switch " + word + " (on or off)";
  value = lower == "on";
  return "";
}

std::string ApplyMilliseconds(const std::string& word, int& value) {
  int64_t milliseconds = 0;
  if (!text::ParseInteger(word, 0, kMaxMilliseconds, milliseconds)) {
    return "bad milliseconds " + word + " (0 to " + std::to_string(kMaxMilliseconds) + ")";
  }
  value = static_cast<int>(milliseconds);
  return "";
}

bool KnowsFrame(const ScaleProtocol& protocol, const std::string& frame) {
  const std::vector<std::string> kinds = protocol.FrameKinds();
  return std::find(kinds.begin(), kinds.end(), frame) != kinds.end();
}

// A new protocol keeps the frame kind only when it has one of that name.
std::string ApplyProtocol(const std::string& word, SimulatorSettings& settings) {
  const std::unique_ptr<ScaleProtocol> protocol = MakeScaleProtocol(word);
  if (!protocol) return "unknown protocol " + word + " (" + ScaleProtocolNames() + ")";
  settings.protocol = platform::AsciiLower(word);
  if (!KnowsFrame(*protocol, settings.frame)) settings.frame.clear();
  return "";
}

// "answer" is the protocol's usual answer; any other name must be one of its frame kinds.
std::string ApplyFrame(const std::string& word, SimulatorSettings& settings) {
  const std::string frame = platform::AsciiLower(word);
  if (frame == "answer") {
    settings.frame.clear();
    return "";
  }
  const std::unique_ptr<ScaleProtocol> protocol = MakeScaleProtocol(settings.protocol);
  if (!protocol || !KnowsFrame(*protocol, frame)) {
    return "unknown frame " + word + " for " + settings.protocol + " (" +
           ScaleFrameKinds(settings.protocol) + ")";
  }
  settings.frame = frame;
  return "";
}

// Why a command cannot run as written (an unknown verb, a wrong number of words); empty when
// it can.
std::string Refusal(const std::string& verb, const std::vector<std::string>& args) {
  static const std::set<std::string> kBare{"QUIT", "RESET", "REQUESTS"};
  static const std::set<std::string> kWithArgument{"WEIGHT",      "STATE",    "DELAY",
                                                   "SPLIT",       "SILENT",   "UNSTABLE",
                                                   "UNSOLICITED", "PROTOCOL", "FRAME"};
  if (kBare.count(verb) != 0) return args.empty() ? "" : verb + " takes no argument";
  if (kWithArgument.count(verb) != 0) return args.size() == 1 ? "" : verb + " takes one argument";
  return "unknown command " + verb;
}

}  // namespace

ControlInterpreter::ControlInterpreter(SimulatorSettings startSettings)
    : startSettings_(std::move(startSettings)) {}

ControlInterpreter::Result ControlInterpreter::Execute(const std::string& line,
                                                       SimulatorSettings& settings,
                                                       uint64_t requestCount) const {
  std::vector<std::string> words = Words(line);
  if (words.empty()) return {};
  const std::string verb = platform::AsciiUpper(words.front());
  words.erase(words.begin());
  const std::string refusal = Refusal(verb, words);
  if (!refusal.empty()) return {"ERR " + refusal + "\n"};
  if (verb == "QUIT") return {"OK\n", true};
  if (verb == "REQUESTS") return {"OK " + std::to_string(requestCount) + "\n"};
  if (verb == "RESET") {
    settings = startSettings_;
    return Result{.reply = "OK\n", .reset = true};
  }
  const std::string failure = Apply(verb, words.empty() ? "" : words.front(), settings);
  return {failure.empty() ? "OK\n" : "ERR " + failure + "\n"};
}

std::string ControlInterpreter::Apply(const std::string& verb, const std::string& arg,
                                      SimulatorSettings& settings) const {
  if (verb == "WEIGHT") return ApplyWeight(arg, settings.reading.grams);
  if (verb == "STATE") return ApplyState(arg, settings.reading.state);
  if (verb == "DELAY") return ApplyMilliseconds(arg, settings.delayMs);
  if (verb == "SPLIT") return ApplyMilliseconds(arg, settings.splitMs);
  if (verb == "SILENT") return ApplySwitch(arg, settings.silent);
  if (verb == "UNSTABLE") return ApplyCount(arg, settings.unstableAnswers);
  if (verb == "UNSOLICITED") return ApplyMilliseconds(arg, settings.unsolicitedMs);
  if (verb == "FRAME") return ApplyFrame(arg, settings);
  return ApplyProtocol(arg, settings);
}

}  // namespace trv::tools
