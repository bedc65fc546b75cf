// Reads one weight through the scale component, the way the control does for LerPeso.
//
//   example_read_weight PORT [MODEL]     PORT: COM1, /dev/ttyUSB0, ...; MODEL: 1 Filizola (default)
//                                        to 7 Digitron
//
// The scale's line settings are the device's defaults (9600 baud, 8 data bits, no parity, one
// stop bit); set them on scale.Device() before Ativar when your scale differs.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "scale/TrvBAL.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PORT [MODEL]\n", argv[0]);
    return 2;
  }
  try {
    trv::TTrvBAL scale(nullptr);
    scale.SetModelo(static_cast<uint8_t>(argc > 2 ? std::atoi(argv[2]) : trv::balFilizola));
    scale.SetPorta(argv[1]);
    scale.Ativar();  // opens and configures the port; throws with the reason when it cannot
    const double weight = scale.LePeso(2000);
    // Above zero a weight in kilograms; otherwise a weight code (0 nothing on the scale,
    // -1 unstable, -2 negative, -9 no answer, -10 overload).
    if (weight > 0) {
      std::printf("%.3f kg\n", weight);
    } else {
      std::printf("code %.0f\n", weight);
    }
    return weight > 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
