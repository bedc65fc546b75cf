#include "WindowsServiceHost.h"

#include <windows.h>

namespace trv::service {
namespace {

constexpr wchar_t kServiceName[] = L"Travinel";

// The one service of this process: the manager's callbacks are plain functions, so what they
// share lives here.
struct HostedService {
  const std::function<int(const std::function<void()>&)>* serve = nullptr;
  SERVICE_STATUS_HANDLE status = nullptr;
  HANDLE stopEvent = nullptr;
  DWORD checkPoint = 0;
  int exitCode = 0;
};
HostedService hosted;

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = exitCode;
  status.dwWaitHint = waitHintMs;
  const bool settled = state == SERVICE_RUNNING || state == SERVICE_STOPPED;
  status.dwCheckPoint = settled ? 0 : ++hosted.checkPoint;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  SetServiceStatus(hosted.status, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING, NO_ERROR, 5000);
      SetEvent(hosted.stopEvent);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  hosted.status = RegisterServiceCtrlHandlerExW(kServiceName, Control, nullptr);
  if (hosted.status == nullptr) return;
  Report(SERVICE_START_PENDING, NO_ERROR, 10000);
  hosted.stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  int code = 1;
  try {
    code = (*hosted.serve)([] {
      Report(SERVICE_RUNNING);
      WaitForSingleObject(hosted.stopEvent, INFINITE);
    });
  } catch (...) {
    code = 1;
  }
  hosted.exitCode = code;
  Report(SERVICE_STOPPED, static_cast<DWORD>(code));
}

}  // namespace

int RunAsWindowsService(const std::function<int(const std::function<void()>& waitForStop)>& serve) {
  hosted.serve = &serve;
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain},
                                  {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return kNotUnderTheServiceManager;
  return hosted.exitCode;
}

}  // namespace trv::service
