#pragma once

#include <string>

namespace trv {

// The weighing form's scale settings in the form's own integer values (its Por_Bal ...
// Dec_Bal), as a command, a page or a file gives them. A new one holds the defaults of the
// table of the form's properties (FormProperties).
struct FormSettings {
  FormSettings();

  // Port number (com<n>); -1 when a device path is given instead, or nothing yet.
  int porta;
  // A device path (/dev/ttyUSB0, /dev/pts/3, \\.\COM10) reached through the form's PortName.
  std::string portPath;
  // Scale model 0-7; -1 while not given.
  int modelo;
  int handshake;
  int paridade;
  int parada;
  int bits;
  int vel;
  int unidade;
  int decimais;
};

}  // namespace trv
