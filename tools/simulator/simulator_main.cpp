// travinel-simulator: a simulated retail scale on a serial line, for demonstrations, the
// integration tests and trying a point of sale without a scale. See --help.

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "SimulatorCommandLine.h"
#include "SimulatorRunner.h"
#include "StopSignals.h"
#include "testing/Pseudoterminal.h"

namespace {

using trv::tools::Pseudoterminal;
using trv::tools::SimulatorCommandLine;
using trv::tools::SimulatorOptions;
using trv::tools::SimulatorRunner;
using trv::tools::StopSignals;

constexpr int kExitFailure = 1;
constexpr int kExitBadOptions = 2;

int Failure(const std::string& message) {
  std::fprintf(stderr, "travinel-simulator: %s\n", message.c_str());
  return kExitFailure;
}

bool SpeedOf(int baud, speed_t& speed) {
  static const std::map<int, speed_t> kSpeeds{{1200, B1200},   {2400, B2400},    {4800, B4800},
                                              {9600, B9600},   {19200, B19200},  {38400, B38400},
                                              {57600, B57600}, {115200, B115200}};
  const auto found = kSpeeds.find(baud);
  if (found == kSpeeds.end()) return false;
  speed = found->second;
  return true;
}

// Sets a tty to raw 8N1 at the given speed, without flow control.
bool ConfigureTty(int fd, int baud) {
  termios tio{};
  speed_t speed = B9600;
  if (!SpeedOf(baud, speed) || tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0 &&
         tcsetattr(fd, TCSANOW, &tio) == 0;
}

// The descriptor of an existing tty, raw at the given speed; -1 with errno set on failure.
int OpenTty(const std::string& path, int baud) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (ConfigureTty(fd, baud)) return fd;
  const int failure = errno;
  close(fd);
  errno = failure;
  return -1;
}

// Standard input carries control commands when someone can type or pipe them.
bool StdinTakesCommands() {
  struct stat info {};
  if (isatty(STDIN_FILENO)) return true;
  return fstat(STDIN_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

void PrintConnectPath(const std::string& path) {
  std::printf("%s\n", path.c_str());
  std::fflush(stdout);
}

int Serve(SimulatorRunner& runner, int scaleFd) {
  if (!runner.OpenLog() || !runner.Serve(scaleFd, StopSignals::ReadFd(), StdinTakesCommands())) {
    return Failure(runner.Error());
  }
  return 0;
}

int ServeTty(const SimulatorOptions& options, SimulatorRunner& runner) {
  const int fd = OpenTty(options.tty, options.baud);
  if (fd < 0) return Failure("cannot open " + options.tty + ": " + std::strerror(errno));
  PrintConnectPath(options.tty);
  const int status = Serve(runner, fd);
  close(fd);
  return status;
}

int ServePseudoterminal(const SimulatorOptions& options, SimulatorRunner& runner) {
  Pseudoterminal scale(options.link);
  if (!scale.Open()) return Failure("scale line: " + scale.Error());
  PrintConnectPath(options.link.empty() ? scale.SlavePath() : options.link);
  std::fprintf(stderr, "travinel-simulator: %s scale on %s%s%s\n",
               options.settings.protocol.c_str(), scale.SlavePath().c_str(),
               options.link.empty() ? "" : " as ", options.link.c_str());
  return Serve(runner, scale.MasterFd());
}

int Run(const SimulatorOptions& options) {
  if (!StopSignals::Install()) return Failure(std::string("signals: ") + std::strerror(errno));
  SimulatorRunner runner(options);
  if (!runner.OpenControl()) return Failure(runner.Error());
  if (const Pseudoterminal* control = runner.Control()) {
    std::fprintf(stderr, "travinel-simulator: control on %s as %s\n", control->SlavePath().c_str(),
                 options.controlLink.c_str());
  }
  return options.tty.empty() ? ServePseudoterminal(options, runner) : ServeTty(options, runner);
}

}  // namespace

int main(int argc, char** argv) {
  SimulatorCommandLine commandLine;
  if (!commandLine.Parse(argc, argv)) {
    std::fprintf(stderr, "travinel-simulator: %s\nTry 'travinel-simulator --help'.\n",
                 commandLine.Error().c_str());
    return kExitBadOptions;
  }
  if (commandLine.Options().help) {
    std::fputs(SimulatorCommandLine::Usage().c_str(), stdout);
    return 0;
  }
  return Run(commandLine.Options());
}
