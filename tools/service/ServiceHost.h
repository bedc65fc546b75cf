#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "ServiceLog.h"
#include "ServiceSettings.h"

namespace trv::service {

// Where `travinel servir` runs on each system and how it is told to stop (ServiceHostPosix.cpp,
// ServiceHostWin32.cpp): from a terminal or systemd by SIGINT or SIGTERM; from a Windows console
// by Ctrl-C; as the Windows service, by the service manager.
class ServiceHost {
 public:
  // Serves, recording in `log`, and calls waitForStop once serving; answers the exit code.
  using Serve = std::function<int(ServiceLog& log, const std::function<void()>& waitForStop)>;

  // Whether servir can run under a service manager of its own (--servico): Windows only; on
  // Linux systemd runs it as it is.
  static bool HasServiceManager();

  // Runs `serve` until a stop is asked for, or the settings' duration has passed. The Windows
  // service logs beside the configuration file at `configPath`. Answers the exit code (a usage
  // error, with its reason on `err`, for --servico outside the service manager).
  static int Run(const ServiceSettings& settings, const std::string& configPath, const Serve& serve,
                 std::ostream& err);
};

}  // namespace trv::service
