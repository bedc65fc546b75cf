#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "DetectRequest.h"
#include "PortOutcome.h"

namespace trv::detection {

// `travinel detectar`: searches the serial ports for scales, says how long it may take, shows
// its progress on a terminal, prints what each port gave and, with --salvar, stores the first
// scale found as a named scale of the service's configuration.
class DetectCommand {
 public:
  static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
  // Carries out a checked request; `terminal`: out is a terminal (progress is redrawn there).
  static int Execute(const DetectRequest& request, std::ostream& out, std::ostream& err,
                     bool terminal);
  // One port's outcome as a line: "/dev/ttyUSB0: Urano (Mod_Bal 4), 9600 8N1, peso 1,234 kg".
  static std::string Line(const PortOutcome& outcome);
  static std::string Usage();

 private:
  static int Finish(const DetectRequest& request, const std::vector<PortOutcome>& outcomes,
                    std::ostream& out, std::ostream& err);
};

}  // namespace trv::detection
