#pragma once

#include <string>

// libserialport 0.1.1 cannot use a pseudo-terminal as it is: it accepts only a port name that
// has an entry under /sys/class/tty (a pty has none), and its open asks for the modem lines,
// which a pty does not have (TIOCMGET answers ENOTTY). serial_peers therefore lets it open a
// stand-in: a real tty name that it accepts, whose open() this program turns to the pty, while
// the modem-line ioctls that a pty refuses answer as a cable with DSR, CTS and DCD raised. Both
// happen only while a PtyStandIn is active; our serial class never runs under one.
namespace trv::bench {

class PtyStandIn {
 public:
  // Opening `standInName` (a tty name that libserialport accepts) opens `ptyPath` instead.
  PtyStandIn(std::string standInName, std::string ptyPath);
  ~PtyStandIn();
  PtyStandIn(const PtyStandIn&) = delete;
  PtyStandIn& operator=(const PtyStandIn&) = delete;
};

}  // namespace trv::bench
