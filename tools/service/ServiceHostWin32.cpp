#include <windows.h>

#include <filesystem>

#include "ExitCodes.h"
#include "ServiceHost.h"
#include "WindowsServiceHost.h"
#include "platform/TextWin32.h"

namespace trv::service {
namespace {

// The Windows service's logs, beside its configuration: %ProgramData%\Travinel\logs.
std::filesystem::path LogFolder(const std::string& configPath) {
  return std::filesystem::path(platform::Utf8ToWide(configPath)).parent_path() / L"logs";
}

// Set by Ctrl-C or Ctrl-Break in the console, or when its window closes.
HANDLE ConsoleStop() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Runs on a thread the system starts for the purpose; the service stops on the main thread.
BOOL WINAPI OnConsoleControl(DWORD) {
  SetEvent(ConsoleStop());
  return TRUE;
}

void WaitForConsoleStop(int seconds) {
  const HANDLE stop = ConsoleStop();
  if (stop == nullptr || !SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    // Without the handler Ctrl-C still ends the process, the system's way.
    Sleep(seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE);
    return;
  }
  WaitForSingleObject(stop, seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : INFINITE);
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

}  // namespace

bool ServiceHost::HasServiceManager() {
  return true;
}

int ServiceHost::Run(const ServiceSettings& settings, const std::string& configPath,
                     const Serve& serve, std::ostream& err) {
  if (!settings.windowsService) {
    ServiceLog log;
    return serve(log, [&settings] { WaitForConsoleStop(settings.durationSeconds); });
  }
  // Under the service manager: no console, the lines go to the rotating log file.
  ServiceLog log(LogFolder(configPath));
  const int code = RunAsWindowsService(
      [&](const std::function<void()>& waitForStop) { return serve(log, waitForStop); });
  if (code == kNotUnderTheServiceManager) {
    err << "travinel servir: --servico é para o gerenciador de serviços do Windows (sc start "
           "Travinel); para servir daqui, sem --servico"
        << std::endl;
    return cli::kExitUsage;
  }
  return code;
}

}  // namespace trv::service
