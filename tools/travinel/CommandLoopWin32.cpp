#include <windows.h>

#include <atomic>

#include "CommandLoop.h"
#include "platform/Timer.h"

namespace trv::cli {
namespace {

// Set by the console's control handler, which Windows runs on a thread of its own.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      interrupted = true;
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

CommandLoop::CommandLoop() {
  interrupted = false;
  SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

CommandLoop::~CommandLoop() {
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
}

bool CommandLoop::RunFor(uint32_t milliseconds) {
  // Window timers arrive as messages: dispatch what is queued, then wait for more or the end.
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    platform::ProcessMessages();
    const ULONGLONG now = GetTickCount64();
    if (now >= end || interrupted) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
  return !interrupted;
}

bool CommandLoop::Interrupted() const {
  return interrupted;
}

}  // namespace trv::cli
