#pragma once

#include <functional>

namespace trv::service {

// Runs the local weight service as the Windows service "Travinel" under the service control
// manager: `serve` starts serving and then calls the function it is given, which returns when
// the manager asks the service to stop (a stop or the machine shutting down). The manager is
// told the service is starting, running, stopping and stopped as it goes. Answers `serve`'s
// exit code, or kNotUnderTheServiceManager when the process was not started by the manager.
constexpr int kNotUnderTheServiceManager = -1;
int RunAsWindowsService(const std::function<int(const std::function<void()>& waitForStop)>& serve);

}  // namespace trv::service
