#pragma once

#include <windows.h>

#include <string>

#include "control/FormControls.h"

namespace trv {

// The weight box over an edit window: its text is the window's text.
class Win32Edit final : public TEdit {
 public:
  explicit Win32Edit(HWND window);

  std::string Text() const override;
  void SetText(const std::string& text) override;

  HWND Handle() const { return window_; }

 private:
  HWND window_;
};

}  // namespace trv
