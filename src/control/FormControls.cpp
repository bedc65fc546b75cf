#include "control/FormControls.h"

namespace trv {

void TCheckBox::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  ShowChecked(value);
  if (OnClick) OnClick();
}

}  // namespace trv
