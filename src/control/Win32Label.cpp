#include "control/Win32Label.h"

#include "platform/TextWin32.h"

namespace trv {

Win32Label::Win32Label(HWND window) : window_(window) {}

void Win32Label::SetCaption(const std::string& text) {
  caption_ = text;
  SetWindowTextW(window_, platform::Utf8ToWide(text).c_str());
  FitToText();
}

void Win32Label::FitToText() {
  HDC dc = GetDC(window_);
  if (dc == nullptr) return;
  auto font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  const std::wstring text = platform::Utf8ToWide(caption_);
  SIZE extent = {0, 0};
  if (!text.empty()) {
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  }
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(window_, dc);
  // An empty label keeps the height of one line, as the toolkit's label does.
  SetWindowPos(window_, nullptr, 0, 0, extent.cx, metrics.tmHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace trv
