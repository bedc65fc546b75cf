#pragma once

#include <windows.h>

#include <string>

#include "control/FormControls.h"

namespace trv {

// The form's modal message boxes, owned by the top-level window that holds the form (so that
// window is disabled while a box is open). MessageBoxW runs its own message loop: timer ticks
// go on meanwhile.
class Win32MessageBoxes final : public TMessageBoxes {
 public:
  explicit Win32MessageBoxes(HWND window);

  void ShowError(const std::string& text, const std::string& caption) override;
  void Show(const std::string& text) override;

 private:
  HWND Owner() const;

  HWND window_;
};

}  // namespace trv
