#include "DialogCloser.h"

#include <algorithm>

namespace trv::test {

DialogCloser::DialogCloser(HWND watchedCheckBox)
    : watchedCheckBox_(watchedCheckBox), thread_([this] { Watch(); }) {}

DialogCloser::~DialogCloser() {
  stop_ = true;
  thread_.join();
}

std::vector<DialogCloser::Box> DialogCloser::Boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

std::vector<std::wstring> DialogCloser::Texts() {
  std::vector<std::wstring> texts;
  for (const Box& box : Boxes()) texts.push_back(box.text);
  return texts;
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
  }
  // Read outside the lock: asking the check box waits for the box's own message loop.
  Box box = Read(dialog);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_.push_back(dialog);
    boxes_.push_back(std::move(box));
  }
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

DialogCloser::Box DialogCloser::Read(HWND dialog) const {
  Box box;
  wchar_t text[512] = {};
  GetDlgItemTextW(dialog, 0xFFFF, text, 512);  // a message box's text is its static 0xFFFF
  box.text = text;
  GetWindowTextW(dialog, text, 512);
  box.caption = text;
  EnumChildWindows(dialog, &DialogCloser::OnChild, reinterpret_cast<LPARAM>(&box));
  if (watchedCheckBox_ != nullptr) {
    box.checkBoxState = SendMessageW(watchedCheckBox_, BM_GETCHECK, 0, 0);
  }
  return box;
}

// Notes the box's icon, when it shows one, and whether it is the error icon.
BOOL CALLBACK DialogCloser::OnChild(HWND child, LPARAM context) {
  auto* box = reinterpret_cast<Box*>(context);
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (_wcsicmp(name, L"Static") != 0 || (style & SS_TYPEMASK) != SS_ICON) return TRUE;
  auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
  if (icon == nullptr) return TRUE;
  box->anyIcon = true;
  if (icon == LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_ERROR))) box->errorIcon = true;
  return TRUE;
}

}  // namespace trv::test
