#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "LineSetting.h"
#include "PortOutcome.h"
#include "platform/Bytes.h"
#include "serial/CommPort.h"
#include "serial/TrvSerial.h"

namespace trv::detection {

// Looks for a scale on one serial port: opens it exclusively, and at each line setting in turn
// listens for a scale that sends by itself, then (when the line stayed quiet) sends each
// distinct request once and offers the answer to every model that asks that way. Stops at the
// first weight. The port is closed again whatever happens.
class PortProber {
 public:
  struct Timing {
    // Listening at each setting for a scale that sends without being asked.
    int listenMs = 500;
    // The longest a scale takes to begin its answer to a request.
    int firstByteMs = 400;
    // A pause this long ends an answer (many character times at the slowest speed tried).
    int quietMs = 120;
    // No answer or stream is gathered for longer than this.
    int longestAnswerMs = 1500;
  };
  // Called as each line setting begins.
  using Progress = std::function<void(const LineSetting& line, size_t index, size_t count)>;

  // port: the serial port to drive; the operating system's when null.
  explicit PortProber(std::unique_ptr<CommPort> port = nullptr);
  PortProber(std::unique_ptr<CommPort> port, Timing timing);

  // Searches outcome.device, filling outcome. No setting begins unless its worst time ends
  // before deadlineMs (a moment of the current clock); raises nothing.
  void Probe(PortOutcome& outcome, uint64_t deadlineMs, const Progress& progress);

  // The longest one line setting can take: the time to keep in hand before starting one.
  int WorstSettingMs() const;
  // Whether the port is open (it never is once Probe has returned).
  bool IsOpen() const { return serial_->InstanceActive(); }

 private:
  bool Open(PortOutcome& outcome);
  void TrySettings(PortOutcome& outcome, uint64_t deadlineMs, const Progress& progress);
  // Sets the line; false, with the reason kept, when the port refuses the setting.
  bool Configure(const LineSetting& line, PortOutcome& outcome);
  // On a line set as `line`: true when a scale answered with a weight.
  bool TrySetting(const LineSetting& line, PortOutcome& outcome);
  // Everything that arrives within firstByteMs and then until a pause of quietMs, at most
  // longestMs in all.
  Bytes Collect(int firstByteMs, int longestMs);
  // Offers the bytes to the models; true when one read a weight.
  static bool Consider(const Bytes& answer, const std::optional<Bytes>& request,
                       const LineSetting& line, PortOutcome& outcome);

  std::unique_ptr<TTrvSerial> serial_;
  Timing timing_;
};

}  // namespace trv::detection
