#pragma once

#include <windows.h>

#include "Dornavel_h.h"

namespace trv::com {

// The property page's class; the control itself names no page.
// {DB9EADCA-5A65-4D64-A19A-EA6058938812}
constexpr CLSID kPropertyPageClsid = {
    0xDB9EADCA, 0x5A65, 0x4D64, {0xA1, 0x9A, 0xEA, 0x60, 0x58, 0x93, 0x88, 0x12}};

constexpr wchar_t kProgId[] = L"Dornavel.FfrmActivexForm";

// OLE misc-status flags: the control's own (acts like a label, simple frame) and those the
// ActiveX form factory adds (recompose on resize, cannot link inside, inside-out, activate
// when visible, set client site first).
constexpr unsigned long kControlMiscStatus = 0x2000 | 0x10000;
constexpr unsigned long kFactoryMiscStatus = 0x1 | 0x10 | 0x80 | 0x100 | 0x20000;

}  // namespace trv::com
