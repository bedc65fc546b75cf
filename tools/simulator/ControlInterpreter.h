#pragma once

#include <cstdint>
#include <string>

#include "SimulatorSettings.h"

namespace trv::tools {

// The control language of the simulator: one command per line, answered with "OK\n" (a query
// with "OK <value>\n") or "ERR <reason>\n". Verbs in any letter case:
//   WEIGHT <grams>                              the weight shown (an integer, may be negative)
//   STATE stable|unstable|negative|overload     the state of the reading
//   DELAY <ms>                                  time from a request to its answer
//   SPLIT <ms>                                  answer in two halves this far apart; 0 = whole
//   SILENT on|off                               answer nothing
//   UNSTABLE <n>                                the next n answers are unstable
//   UNSOLICITED <ms>                            also send the answer every ms; 0 = off
//   PROTOCOL <name>                             speak another scale protocol (its frame kind
//                                               stays when the new protocol has it)
//   FRAME <kind>                                send one of the protocol's other frames;
//                                               "answer" for its usual answer
//   RESET                                       back to the settings the simulator started with;
//                                               answers still on their way are dropped
//   REQUESTS                                    "OK <n>": the requests received so far
//   QUIT                                        end the simulator
class ControlInterpreter {
 public:
  struct Result {
    std::string reply;
    bool quit = false;
    bool reset = false;  // answers scheduled under the old settings must not go out
  };

  // startSettings: what RESET restores.
  explicit ControlInterpreter(SimulatorSettings startSettings);

  // Runs one command line on the settings; requestCount answers REQUESTS. An empty line is no
  // command and gets an empty reply.
  Result Execute(const std::string& line, SimulatorSettings& settings, uint64_t requestCount) const;

 private:
  // Carries out a well-formed command that changes the settings; the reason it failed (a bad
  // value), or empty.
  std::string Apply(const std::string& verb, const std::string& arg,
                    SimulatorSettings& settings) const;

  SimulatorSettings startSettings_;
};

}  // namespace trv::tools
