#pragma once

namespace trv::tools {

// SIGTERM and SIGINT turned into a byte on a pipe (the self-pipe), so that a serving loop that
// polls the pipe's read end stops cleanly; SIGPIPE is ignored, a vanished reader then shows up
// as a failed write. One set of handlers serves the whole process.
class StopSignals {
 public:
  // Creates the pipe and installs the handlers; false with errno set on failure.
  static bool Install();
  // The pipe's read end, readable once a stop signal arrived; -1 before Install().
  static int ReadFd();
};

}  // namespace trv::tools
