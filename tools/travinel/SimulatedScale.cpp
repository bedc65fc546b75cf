#include "SimulatedScale.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

namespace trv::cli {

SimulatedScale::SimulatedScale(tools::SimulatorOptions options)
    : options_(std::move(options)), scale_(options_.link), runner_(options_) {}

SimulatedScale::~SimulatedScale() {
  Stop();
}

bool SimulatedScale::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool SimulatedScale::Open() {
  if (!scale_.Open()) return Fail("scale line: " + scale_.Error());
  if (!runner_.OpenControl() || !runner_.OpenLog()) return Fail(runner_.Error());
  return true;
}

std::string SimulatedScale::ConnectPath() const {
  return options_.link.empty() ? scale_.SlavePath() : options_.link;
}

bool SimulatedScale::Serve(int stopFd, bool withStdin) {
  try {
    return runner_.Serve(scale_.MasterFd(), stopFd, withStdin) || Fail(runner_.Error());
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
