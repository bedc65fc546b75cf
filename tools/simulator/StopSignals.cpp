#include "StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace trv::tools {
namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int /*signal*/) {
  const char byte = 1;
  // Only async-signal-safe work here: the serving loop sees the pipe become readable.
  [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

}  // namespace

bool StopSignals::Install() {
  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  signal(SIGPIPE, SIG_IGN);
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

int StopSignals::ReadFd() {
  return stopPipe[0];
}

}  // namespace trv::tools
