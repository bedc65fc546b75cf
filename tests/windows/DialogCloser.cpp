#include "DialogCloser.h"

#include <algorithm>

namespace trv::test {

DialogCloser::DialogCloser() : thread_([this] { Watch(); }) {}

DialogCloser::~DialogCloser() {
  stop_ = true;
  thread_.join();
}

std::vector<std::wstring> DialogCloser::Texts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

void DialogCloser::Watch() {
  while (!stop_) {
    {
      // A closed box's handle may be given to a later window.
      std::lock_guard<std::mutex> lock(mutex_);
      closed_.erase(std::remove_if(closed_.begin(), closed_.end(),
                                   [](HWND window) { return IsWindow(window) == FALSE; }),
                    closed_.end());
    }
    EnumWindows(&DialogCloser::OnWindow, reinterpret_cast<LPARAM>(this));
    Sleep(25);
  }
}

BOOL CALLBACK DialogCloser::OnWindow(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process == GetCurrentProcessId() && wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<DialogCloser*>(context)->Close(window);
  }
  return TRUE;
}

void DialogCloser::Close(HWND dialog) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(closed_.begin(), closed_.end(), dialog) != closed_.end()) return;
    closed_.push_back(dialog);
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, 0xFFFF, text, 512);  // a message box's text is its static 0xFFFF
    texts_.emplace_back(text);
  }
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace trv::test
