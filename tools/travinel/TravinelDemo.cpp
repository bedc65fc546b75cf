#include "TravinelDemo.h"

#include <sstream>
#include <vector>

#include "ExitCodes.h"
#include "SimulatedScale.h"
#include "WeighingSession.h"
#include "control/FormProperties.h"

namespace trv::cli {
namespace {

tools::SimulatorSettings ScaleShowing(int64_t grams, tools::ScaleState state, bool silent = false,
                                      const std::string& protocol = "filizola") {
  tools::SimulatorSettings settings;
  settings.protocol = protocol;
  settings.reading.grams = grams;
  settings.reading.state = state;
  settings.silent = silent;
  return settings;
}

FormSettings Model(int modelo, int unidade = 0, int decimais = 0) {
  FormSettings form;
  form.modelo = modelo;
  form.unidade = unidade;
  form.decimais = decimais;
  return form;
}

}  // namespace

std::vector<TravinelDemo::Scenario> TravinelDemo::Scenarios() {
  using tools::ScaleState;
  return {
      {"Filizola showing 1235 g, read in grams", ScaleShowing(1235, ScaleState::Stable), Model(1),
       kExitOk},
      {"Toledo showing 780 g, read in grams",
       ScaleShowing(780, ScaleState::Stable, false, "toledo"), Model(2), kExitOk},
      {"Filizola showing 2.5 kg, read in kilograms with decimals",
       ScaleShowing(2500, ScaleState::Stable), Model(1, 1, 1), kExitOk},
      {"Filizola with the weight still moving", ScaleShowing(1235, ScaleState::Unstable), Model(1),
       kExitNotAWeight},
      {"Filizola that never answers (the form shows nothing new for the code -9)",
       ScaleShowing(1235, ScaleState::Stable, true), Model(1), kExitNoAnswer},
  };
}

int TravinelDemo::Run() {
  out_ << "travinel demo: a simulated scale on a pseudo-terminal, read through the whole stack:\n"
          "weighing form -> scale component -> driver -> device -> serial port -> "
          "pseudo-terminal.\n";
  const std::vector<Scenario> scenarios = Scenarios();
  bool allExpected = true;
  for (size_t index = 0; index < scenarios.size(); ++index) {
    allExpected = RunScenario(scenarios[index], index + 1, scenarios.size()) && allExpected;
  }
  out_ << "\nWith a real scale attached, read it the same way, e.g.:\n"
          "  travinel ler --porta /dev/ttyUSB0 --modelo filizola\n"
          "(travinel --help lists the options and exit codes.)"
       << std::endl;
  return allExpected ? kExitOk : kExitFailure;
}

bool TravinelDemo::RunScenario(const Scenario& scenario, size_t number, size_t count) {
  out_ << "\n[" << number << "/" << count << "] " << scenario.title << "\n";
  tools::SimulatorOptions options;
  options.settings = scenario.scale;
  SimulatedScale scale(options);
  if (!scale.Open() || !scale.Start()) {
    out_ << "  cannot start the simulated scale: " << scale.Error() << std::endl;
    return false;
  }
  FormSettings form = scenario.form;
  form.portPath = scale.ConnectPath();
  PrintCommand(form, form.portPath);
  std::ostringstream shown;
  int exitCode = kExitFailure;
  {
    WeighingSession session(form, shown, shown);
    exitCode = session.Ler(false);
  }
  scale.Stop();
  std::istringstream lines(shown.str());
  for (std::string line; std::getline(lines, line);) out_ << "  " << line << "\n";
  out_ << "  exit " << exitCode << ": " << MeaningOf(exitCode) << std::endl;
  if (exitCode == scenario.expectedExit) return true;
  out_ << "  unexpected: the demo wanted exit " << scenario.expectedExit << std::endl;
  return false;
}

void TravinelDemo::PrintCommand(const FormSettings& form, const std::string& path) {
  out_ << "  $ travinel ler --porta " << path << " --modelo "
       << FormProperties::ValueName(FormProperties::Of(&FormSettings::modelo), form.modelo);
  if (form.unidade == 1) out_ << " --unidade kg";
  if (form.decimais == 1) out_ << " --decimais 1";
  out_ << "\n";
}

const char* TravinelDemo::MeaningOf(int exitCode) {
  switch (exitCode) {
    case kExitOk:
      return "a weight was read";
    case kExitPortFailure:
      return "the port could not be opened";
    case kExitNoAnswer:
      return "no weight within the time-out";
    case kExitNotAWeight:
      return "the scale answered a code, not a weight";
    default:
      return "failure";
  }
}

}  // namespace trv::cli
