#include "control/Win32MessageBoxes.h"

#include "platform/TextWin32.h"

namespace trv {

Win32MessageBoxes::Win32MessageBoxes(HWND window) : window_(window) {}

HWND Win32MessageBoxes::Owner() const {
  // A child window cannot own a box; its top-level ancestor does. A window already gone leaves
  // the box without an owner rather than with a stale handle.
  if (window_ == nullptr || !IsWindow(window_)) return nullptr;
  return GetAncestor(window_, GA_ROOT);
}

void Win32MessageBoxes::ShowError(const std::string& text, const std::string& caption) {
  MessageBoxW(Owner(), platform::Utf8ToWide(text).c_str(), platform::Utf8ToWide(caption).c_str(),
              MB_OK | MB_ICONERROR);
}

void Win32MessageBoxes::Show(const std::string& text) {
  // No caption: the system's default one.
  MessageBoxW(Owner(), platform::Utf8ToWide(text).c_str(), nullptr, MB_OK);
}

}  // namespace trv
