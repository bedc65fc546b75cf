#include <pthread.h>
#include <signal.h>

#include <csignal>
#include <ctime>

#include "ServiceHost.h"
#include "StopSignalSet.h"

namespace trv::service {
namespace {

// The stop signals are blocked in every thread (the server's threads inherit the mask) and
// taken here; no handler runs inside a system call of the serial port.
sigset_t BlockStopSignals() {
  const sigset_t set = cli::StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A page that leaves while its answer is written must not end the service.
  std::signal(SIGPIPE, SIG_IGN);
  return set;
}

void WaitForStop(const sigset_t& set, int seconds) {
  if (seconds == 0) {
    int signal = 0;
    sigwait(&set, &signal);
    return;
  }
  timespec remaining{seconds, 0};
  sigtimedwait(&set, nullptr, &remaining);
}

}  // namespace

bool ServiceHost::HasServiceManager() {
  return false;
}

int ServiceHost::Run(const ServiceSettings& settings, const std::string&, const Serve& serve,
                     std::ostream&) {
  const sigset_t stopSignals = BlockStopSignals();
  ServiceLog log;
  return serve(log, [&] { WaitForStop(stopSignals, settings.durationSeconds); });
}

}  // namespace trv::service
