#pragma once

#include <windows.h>

#include "control/FormControls.h"

namespace trv {

// The enabling box over a BS_CHECKBOX button. Windows leaves the state of such a box to its
// owner: a user's click only notifies the parent (BN_CLICKED), and the parent calls Toggle(),
// so OnClick runs once for each change whoever made it. ShowChecked moves the check mark.
class Win32CheckBox final : public TCheckBox {
 public:
  explicit Win32CheckBox(HWND window);

  HWND Handle() const { return window_; }

 protected:
  void ShowChecked(bool value) override;

 private:
  HWND window_;
};

}  // namespace trv
