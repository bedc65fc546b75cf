#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "CommandOptions.h"
#include "SimulatorSettings.h"

namespace trv::cli {

// travinel demo: for a few weights and states, a simulated scale on a pseudo-terminal (served
// by a thread of this process) read once through the whole stack, weighing form, scale
// component, driver, device, serial port, printing what the form shows and the exit code
// `travinel ler` would give.
class TravinelDemo {
 public:
  // One reading: what the simulated scale shows and how the form is set to read it.
  struct Scenario {
    std::string title;
    tools::SimulatorSettings scale;
    FormSettings form;
    int expectedExit;
  };

  explicit TravinelDemo(std::ostream& out) : out_(out) {}
  // 0 when every reading ended as expected, 1 otherwise.
  int Run();

 private:
  static std::vector<Scenario> Scenarios();
  // Reads the scenario's scale; false when it did not end as expected.
  bool RunScenario(const Scenario& scenario, size_t number, size_t count);
  void PrintCommand(const FormSettings& form, const std::string& path);
  static const char* MeaningOf(int exitCode);

  std::ostream& out_;
};

}  // namespace trv::cli
