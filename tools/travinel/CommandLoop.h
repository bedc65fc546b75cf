#pragma once

#include <cstdint>

namespace trv::cli {

// The message loop of the command while the scale stays enabled: it delivers the form's and the
// scale component's timer ticks, and notices Ctrl-C (SIGINT or SIGTERM on Linux, the console's
// control events on Windows) so the command can end in order, closing the port.
class CommandLoop {
 public:
  // Takes over Ctrl-C for the lifetime of this object.
  CommandLoop();
  ~CommandLoop();
  CommandLoop(const CommandLoop&) = delete;
  CommandLoop& operator=(const CommandLoop&) = delete;

  // Delivers timer ticks for `milliseconds`; false once Ctrl-C was pressed.
  bool RunFor(uint32_t milliseconds);
  bool Interrupted() const;
};

}  // namespace trv::cli
