#pragma once

#include <string>
#include <vector>

#include "control/FormSettings.h"

namespace trv::detection {

// One way a scale's line may be set: speed, data bits, parity and stop bits, in the weighing
// form's own codes (Par_Bal 0 none, 2 even; Stp_Bal 0 one, 2 two).
struct LineSetting {
  int baud = 9600;
  int bits = 8;
  int parity = 0;
  int stop = 0;

  // As a shop's manual writes it: "9600 8N1", "4800 7E1".
  std::string Text() const;
  // The parity as the serial port's Config takes it ('N', 'E').
  char ParityLetter() const;
  // The serial port's stop-bits code for Config (0 one, 2 two).
  int StopCode() const { return stop; }
  // Writes the setting into the form's settings (Vel_Bal, Bit_Bal, Par_Bal, Stp_Bal).
  void ApplyTo(FormSettings& settings) const;

  // The settings scales are sold with, in the order they are tried: the speeds from the most
  // common (9600, 4800, 2400, then 19200), each with 8N1, 7E1 and 8N2.
  static const std::vector<LineSetting>& Candidates();
};

}  // namespace trv::detection
