#include "control/Win32CheckBox.h"

namespace trv {

Win32CheckBox::Win32CheckBox(HWND window) : window_(window) {}

void Win32CheckBox::ShowChecked(bool value) {
  SendMessageW(window_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace trv
