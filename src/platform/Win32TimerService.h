#pragma once

#include <windows.h>

#include <set>

#include "platform/Timer.h"

namespace trv::platform {

// Window timers of a hidden message-only window: the ticks arrive through the message loop of
// the thread that created the service, the host's user-interface thread.
class Win32TimerService final : public TimerService {
 public:
  Win32TimerService();
  ~Win32TimerService() override;
  Win32TimerService(const Win32TimerService&) = delete;
  Win32TimerService& operator=(const Win32TimerService&) = delete;

  void Start(TTimer& timer) override;
  void Stop(TTimer& timer) override;
  // Dispatches the pending messages of the calling thread.
  void ProcessPending() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR id);

  HWND window_ = nullptr;
  std::set<TTimer*> timers_;
};

}  // namespace trv::platform
