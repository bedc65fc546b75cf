#pragma once

#include <signal.h>

namespace trv::cli {

// SIGINT and SIGTERM: the signals that ask a command to stop. Commands keep them blocked and
// take them from the pending set (sigwait, signalfd), so no handler runs in the middle of a
// system call of the serial port.
inline sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace trv::cli
