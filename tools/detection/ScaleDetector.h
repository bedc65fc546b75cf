#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PortOutcome.h"
#include "PortProber.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv::detection {

// Finds the scales on this machine's serial ports: every listed port, or the ones named, each
// searched by a PortProber on a thread of its own, so that four ports take the time of one.
// A name that leads to no serial device is never opened, a port another program holds is left
// alone, and every port is closed again at the end.
class ScaleDetector {
 public:
  // The longest the search takes, whatever the ports do.
  static constexpr int kBudgetMs = 25000;

  struct Request {
    // The ports to search, as names or USB identities; empty: every port ListSerialPorts finds.
    std::vector<std::string> ports;
    // Serial devices the caller itself holds (the service's scales): reported in use, untouched.
    std::vector<std::string> devicesInUse;
    int budgetMs = kBudgetMs;
  };
  // Called, one call at a time, from the ports' threads.
  using Progress = std::function<void(const std::string& port, const LineSetting& line,
                                      size_t index, size_t count)>;
  using PortDone = std::function<void(const PortOutcome& outcome)>;
  // Makes the port each search opens; null: the operating system's (tests pass fakes).
  using PortFactory = std::function<std::unique_ptr<CommPort>()>;

  explicit ScaleDetector(PortFactory makePort = nullptr, PortProber::Timing timing = {});

  // Searches and answers one outcome per port, in the order of the request (or of the list).
  std::vector<PortOutcome> Run(const Request& request, const Progress& progress = nullptr,
                               const PortDone& done = nullptr) const;

  // A port as a person writes it: a number (or com<n>) is the control's com<n>, a device path
  // or a USB identity stays as it is.
  static std::string PortNamed(const std::string& text);

  // The ports a request names, each with the device it leads to and its identity; a name that
  // leads to no serial device comes back kNotSerial, a device the caller holds kBusy, and a
  // device named twice (a port and its /dev/serial/by-id link) once.
  static std::vector<PortOutcome> Candidates(const std::vector<SerialPortEntry>& listed,
                                             const Request& request);

 private:
  PortFactory makePort_;
  PortProber::Timing timing_;
};

}  // namespace trv::detection
