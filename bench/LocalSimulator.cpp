#include "LocalSimulator.h"

#include <unistd.h>

#include <cstdio>

namespace trv::bench {

bool LocalSimulator::Start(std::string& error) {
  if (!line_.Open()) {
    error = line_.Error();
    return false;
  }
  if (pipe(stop_) != 0) {
    error = "pipe failed";
    return false;
  }
  tools::SimulatorSettings settings;
  settings.protocol = "filizola";
  settings.reading.grams = grams_;
  simulator_ = std::make_unique<tools::ScaleSimulator>(line_.MasterFd(), stop_[0], settings);
  thread_ = std::thread([this] { simulator_->Serve(); });
  return true;
}

LocalSimulator::~LocalSimulator() {
  if (thread_.joinable()) {
    const char stop = 'q';
    if (write(stop_[1], &stop, 1) != 1) std::perror("stopping the simulator");
    thread_.join();
  }
  for (int fd : stop_) {
    if (fd >= 0) close(fd);
  }
}

}  // namespace trv::bench
