#pragma once

#include <windows.h>

#include <string>

#include "control/FormControls.h"

namespace trv {

// The status line over a static window. Like the form toolkit's label it sizes itself to its
// text: each new caption is measured with the window's font and the window follows, keeping its
// top-left corner.
class Win32Label final : public TLabel {
 public:
  explicit Win32Label(HWND window);

  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& text) override;

  HWND Handle() const { return window_; }
  // Fits the window to the current caption (after a change of font, too).
  void FitToText();

 private:
  HWND window_;
  std::string caption_;
};

}  // namespace trv
