// serial_peer <link path>: the far end of a serial line for tests. Creates a pseudo-terminal,
// points the link path at its slave side, prints the slave path and serves the command language
// of SerialPeer until QUIT, SIGTERM or SIGINT; the link is removed on the way out.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "SerialPeer.h"

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int /*signal*/) {
  const char byte = 1;
  // Only async-signal-safe work here: the serving loop sees the pipe become readable.
  [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  signal(SIGPIPE, SIG_IGN);
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: serial_peer <link path>\n");
    return 2;
  }
  if (!InstallStopSignals()) {
    std::perror("serial_peer: signals");
    return 1;
  }
  trv::test::SerialPeer peer(argv[1], stopPipe[0]);
  if (!peer.Open()) {
    std::fprintf(stderr, "serial_peer: %s\n", peer.Error().c_str());
    return 1;
  }
  std::printf("%s\n", peer.SlavePath().c_str());
  std::fflush(stdout);
  const bool served = peer.Serve();
  if (!served) std::fprintf(stderr, "serial_peer: %s\n", peer.Error().c_str());
  return served ? 0 : 1;
}
