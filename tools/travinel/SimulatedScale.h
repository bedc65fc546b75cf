#pragma once

#include <string>
#include <thread>

#include "SimulatorCommandLine.h"
#include "SimulatorRunner.h"
#include "testing/Pseudoterminal.h"

namespace trv::cli {

// The scale simulator inside the travinel process: a pseudo-terminal (and, when asked, a
// control pseudo-terminal) served by the simulator engine, either on the calling thread
// (travinel simular) or on a thread of its own (travinel demo). The engine and its descriptors
// belong to the serving thread alone; the only thing shared is the stop pipe.
class SimulatedScale {
 public:
  explicit SimulatedScale(tools::SimulatorOptions options);
  ~SimulatedScale();
  SimulatedScale(const SimulatedScale&) = delete;
  SimulatedScale& operator=(const SimulatedScale&) = delete;

  // Brings up the pseudo-terminals and opens the log; false with Error() set on failure.
  bool Open();
  // The path a point of sale opens: the link when one was asked for, else the slave's path.
  std::string ConnectPath() const;

  // Serves on this thread until `stopFd` turns readable or a QUIT command; with `withStdin`
  // also takes commands from standard input. False with Error() when the line failed.
  bool Serve(int stopFd, bool withStdin);
  // Serves on a new thread until Stop().
  bool Start();
  void Stop();

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& message);

  tools::SimulatorOptions options_;
  tools::Pseudoterminal scale_;
  tools::SimulatorRunner runner_;  // the control line, the log and the engine
  std::thread thread_;
  int stopPipe_[2] = {-1, -1};
  std::string error_;
};

}  // namespace trv::cli
