#include "SimulatedScale.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "ScaleSimulator.h"

namespace trv::cli {

SimulatedScale::SimulatedScale(tools::SimulatorOptions options)
    : options_(std::move(options)), scale_(options_.link) {}

SimulatedScale::~SimulatedScale() {
  Stop();
}

bool SimulatedScale::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool SimulatedScale::Open() {
  if (!scale_.Open()) return Fail("scale line: " + scale_.Error());
  if (!options_.controlLink.empty()) {
    control_ = std::make_unique<tools::Pseudoterminal>(options_.controlLink);
    if (!control_->Open()) return Fail("control line: " + control_->Error());
  }
  if (!options_.logPath.empty()) {
    log_.open(options_.logPath, std::ios::app);
    if (!log_) return Fail("cannot open the log " + options_.logPath);
  }
  return true;
}

std::string SimulatedScale::ConnectPath() const {
  return options_.link.empty() ? scale_.SlavePath() : options_.link;
}

bool SimulatedScale::Serve(int stopFd, bool withStdin) {
  try {
    tools::ScaleSimulator simulator(scale_.MasterFd(), stopFd, options_.settings);
    if (log_.is_open()) simulator.SetLog(&log_);
    if (control_) simulator.AddControlChannel(control_->MasterFd(), control_->MasterFd());
    if (withStdin) simulator.AddControlChannel(STDIN_FILENO, STDOUT_FILENO);
    return simulator.Serve() || Fail(simulator.Error());
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

bool SimulatedScale::Start() {
  if (pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    return Fail(std::string("stop pipe: ") + std::strerror(errno));
  }
  thread_ = std::thread([this] { Serve(stopPipe_[0], false); });
  return true;
}

void SimulatedScale::Stop() {
  if (thread_.joinable()) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(stopPipe_[1], &byte, 1);
    thread_.join();
  }
  for (int& fd : stopPipe_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

}  // namespace trv::cli
