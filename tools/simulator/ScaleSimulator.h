#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ByteLog.h"
#include "ControlChannel.h"
#include "ControlInterpreter.h"
#include "ScaleProtocol.h"
#include "SimulatorSettings.h"
#include "platform/Bytes.h"

namespace trv::tools {

// A simulated scale on one line: reads requests from the point of sale, answers them in the
// selected protocol as the settings say (delayed, split, silent, unstable for a while, also
// unasked at an interval), and takes control commands from any number of control channels.
// One thread, one poll() loop: every wait is for a descriptor or for the next due moment of
// the pending answers and the unasked sending, and the stop descriptor ends it at any time.
class ScaleSimulator {
 public:
  // scaleFd: the line (a pseudo-terminal's master or an opened tty), best non-blocking;
  // stopFd: the loop ends when it turns readable. Neither is owned. The protocol is the one
  // the settings name, or `protocol` when given (one that MakeScaleProtocol does not know, such
  // as a test's; the settings should then carry its name). Throws std::invalid_argument for a
  // protocol name that no protocol has.
  ScaleSimulator(int scaleFd, int stopFd, const SimulatorSettings& settings,
                 std::unique_ptr<ScaleProtocol> protocol = nullptr);
  ~ScaleSimulator();
  ScaleSimulator(const ScaleSimulator&) = delete;
  ScaleSimulator& operator=(const ScaleSimulator&) = delete;

  // Adds a source of control commands; the descriptors stay the caller's.
  void AddControlChannel(int readFd, int writeFd);
  // Where the traffic log goes; null for none.
  void SetLog(std::ostream* log) { log_.SetOutput(log); }

  // Serves until QUIT or the stop descriptor (true), or a failure of the line (false, with
  // Error() telling which).
  bool Serve();

  const std::string& Error() const { return error_; }
  uint64_t RequestCount() const { return requests_; }
  const SimulatorSettings& Settings() const { return settings_; }

 private:
  using Steady = std::chrono::steady_clock;

  std::vector<pollfd> Watches() const;
  int PollTimeoutMs() const;
  bool HandleScale(short revents);
  bool ReadScale();
  void AnswerRequests();
  void AnswerOneRequest(const Bytes& request);
  // The next answer as the settings make it (an unstable one while those last); empty when the
  // scale is silent.
  Bytes NextAnswer();
  void Schedule(const Bytes& answer, Steady::time_point start);
  void FireDueTimers();
  void SendUnsolicited(Steady::time_point now);
  bool Send(const Bytes& bytes);
  bool FlushOutbox();
  void HandleControls(const std::vector<pollfd>& watches);
  void ExecuteCommand(ControlChannel& channel, const std::string& line);
  void AdoptSettings(const SimulatorSettings& next);
  void ForgetPending();
  bool Fail(const std::string& what);

  int scaleFd_;
  int stopFd_;
  SimulatorSettings settings_;
  ControlInterpreter interpreter_;
  std::unique_ptr<ScaleProtocol> protocol_;
  std::vector<std::unique_ptr<ControlChannel>> channels_;
  ByteLog log_;
  Bytes received_;
  // What the line did not take yet; sent as it turns writable.
  Bytes outbox_;
  // Answers (or halves of answers) waiting for their moment, in order.
  std::multimap<Steady::time_point, Bytes> deliveries_;
  std::optional<Steady::time_point> nextUnsolicited_;
  uint64_t requests_ = 0;
  bool quit_ = false;
  std::string error_;
};

}  // namespace trv::tools
