#include "platform/Win32TimerService.h"

#include "platform/Library.h"

namespace trv::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"TravinelTimerWindow";

HINSTANCE ThisInstance() {
  return static_cast<HINSTANCE>(ThisModule());
}

}  // namespace

Win32TimerService::Win32TimerService() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32TimerService::WindowProc;
  windowClass.hInstance = ThisInstance();
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            ThisInstance(), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32TimerService::~Win32TimerService() {
  for (TTimer* timer : timers_) KillTimer(window_, reinterpret_cast<UINT_PTR>(timer));
  if (window_ != nullptr) DestroyWindow(window_);
}

void Win32TimerService::Start(TTimer& timer) {
  timers_.insert(&timer);
  SetTimer(window_, reinterpret_cast<UINT_PTR>(&timer), timer.Interval(), nullptr);
}

void Win32TimerService::Stop(TTimer& timer) {
  KillTimer(window_, reinterpret_cast<UINT_PTR>(&timer));
  timers_.erase(&timer);
}

void Win32TimerService::ProcessPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32TimerService::OnTimer(UINT_PTR id) {
  // A WM_TIMER already queued for a timer that was stopped or destroyed since is dropped.
  auto found = timers_.find(reinterpret_cast<TTimer*>(id));
  if (found != timers_.end()) (*found)->Tick();
}

LRESULT CALLBACK Win32TimerService::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_TIMER) {
    auto* service = reinterpret_cast<Win32TimerService*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (service != nullptr) service->OnTimer(wParam);  // Tick catches every exception
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TimerService& SystemTimerService() {
  static Win32TimerService service;
  return service;
}

}  // namespace trv::platform
