#include "SimulatorCommand.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ExitCodes.h"
#include "SimulatedScale.h"
#include "StopSignalSet.h"

namespace trv::cli {
namespace {

// Standard input carries control commands when someone can type or pipe them.
bool StdinTakesCommands() {
  struct stat info {};
  if (isatty(STDIN_FILENO)) return true;
  return fstat(STDIN_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
}

// SIGINT and SIGTERM, blocked, turn a descriptor readable: the engine's stop descriptor.
int StopSignalDescriptor() {
  const sigset_t set = StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int SimulatorCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
  std::vector<const char*> argv{"travinel simular"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  tools::SimulatorCommandLine commandLine;
  if (!commandLine.Parse(static_cast<int>(argv.size()), argv.data())) {
    err << "travinel simular: " << commandLine.Error() << "\nTry 'travinel simular --help'."
        << std::endl;
    return kExitUsage;
  }
  if (commandLine.Options().help) {
    out << "travinel simular takes the options of travinel-simulator, but --tty:\n\n"
        << tools::SimulatorCommandLine::Usage();
    return kExitOk;
  }
  if (!commandLine.Options().tty.empty()) {
    err << "travinel simular: --tty is served by travinel-simulator itself" << std::endl;
    return kExitUsage;
  }
  return Serve(commandLine.Options(), out, err);
}

int SimulatorCommand::Serve(const tools::SimulatorOptions& options, std::ostream& out,
                            std::ostream& err) {
  const int stopFd = StopSignalDescriptor();
  SimulatedScale scale(options);
  if (stopFd < 0 || !scale.Open()) {
    err << "travinel simular: " << (stopFd < 0 ? "signals" : scale.Error()) << std::endl;
    return kExitFailure;
  }
  out << scale.ConnectPath() << std::endl;
  err << "travinel simular: " << options.settings.protocol << " scale on " << scale.ConnectPath()
      << "; Ctrl-C ends it" << std::endl;
  const bool served = scale.Serve(stopFd, StdinTakesCommands());
  close(stopFd);
  if (!served) err << "travinel simular: " << scale.Error() << std::endl;
  return served ? kExitOk : kExitFailure;
}

}  // namespace trv::cli
