#include "control/Win32Edit.h"

#include "platform/TextWin32.h"

namespace trv {

Win32Edit::Win32Edit(HWND window) : window_(window) {}

std::string Win32Edit::Text() const {
  const int length = GetWindowTextLengthW(window_);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window_, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return platform::WideToUtf8(text);
}

void Win32Edit::SetText(const std::string& text) {
  SetWindowTextW(window_, platform::Utf8ToWide(text).c_str());
}

}  // namespace trv
