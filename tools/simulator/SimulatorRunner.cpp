#include "SimulatorRunner.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ScaleSimulator.h"

namespace trv::tools {

SimulatorRunner::SimulatorRunner(const SimulatorOptions& options) : options_(options) {}

bool SimulatorRunner::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool SimulatorRunner::OpenControl() {
  if (options_.controlLink.empty()) return true;
  control_ = std::make_unique<Pseudoterminal>(options_.controlLink);
  return control_->Open() || Fail("control line: " + control_->Error());
}

bool SimulatorRunner::OpenLog() {
  if (options_.logPath.empty()) return true;
  log_.open(options_.logPath, std::ios::app);
  return static_cast<bool>(log_) ||
         Fail("cannot open the log " + options_.logPath + ": " + std::strerror(errno));
}

bool SimulatorRunner::Serve(int scaleFd, int stopFd, bool withStdin) {
  ScaleSimulator simulator(scaleFd, stopFd, options_.settings);
  if (log_.is_open()) simulator.SetLog(&log_);
  if (control_) simulator.AddControlChannel(control_->MasterFd(), control_->MasterFd());
  if (withStdin) simulator.AddControlChannel(STDIN_FILENO, STDOUT_FILENO);
  return simulator.Serve() || Fail(simulator.Error());
}

}  // namespace trv::tools
