// Follows a scale with the scale component's monitoring: every 200 ms the component looks at the
// port, and each answer the scale sends (by itself, or asked by a reading) raises OnLePeso.
//
//   example_monitor_scale PORT [MODEL] [SECONDS]
//
// A program with a message loop (Windows) delivers the timer by itself; this one runs a small
// loop of its own for the given time (10 s by default) and asks for a reading every 3 s, as the
// control's form does.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/Clock.h"
#include "platform/Timer.h"
#include "scale/TrvBAL.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PORT [MODEL] [SECONDS]\n", argv[0]);
    return 2;
  }
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
  try {
    trv::TTrvBAL scale(nullptr);
    scale.SetModelo(static_cast<uint8_t>(argc > 2 ? std::atoi(argv[2]) : trv::balFilizola));
    scale.SetPorta(argv[1]);
    scale.OnLePeso = [](double weight, const trv::Bytes& answer) {
      std::printf("%8.3f  (%zu bytes from the scale)\n", weight, answer.size());
      std::fflush(stdout);
    };
    scale.SetMonitorarBalanca(true);
    scale.Ativar();

    trv::platform::Clock& clock = trv::platform::CurrentClock();
    const uint64_t end = clock.Milliseconds() + static_cast<uint64_t>(seconds) * 1000;
    uint64_t nextReading = clock.Milliseconds();
    while (clock.Milliseconds() < end) {
      if (clock.Milliseconds() >= nextReading) {
        scale.LePeso(2000);  // raises OnLePeso too
        nextReading += 3000;
      }
      trv::platform::ProcessMessages();  // delivers the monitoring timer's ticks
      clock.Sleep(10);
    }
    scale.Desativar();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
