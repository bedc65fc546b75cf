// serial_peer <link path>: the far end of a serial line for tests. Creates a pseudo-terminal,
// points the link path at its slave side, prints the slave path and serves the command language
// of SerialPeer until QUIT, SIGTERM or SIGINT; the link is removed on the way out.

#include <cstdio>

#include "SerialPeer.h"
#include "StopSignals.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: serial_peer <link path>\n");
    return 2;
  }
  if (!trv::tools::StopSignals::Install()) {
    std::perror("serial_peer: signals");
    return 1;
  }
  trv::test::SerialPeer peer(argv[1], trv::tools::StopSignals::ReadFd());
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
