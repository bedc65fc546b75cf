#pragma once

#include <string>
#include <string_view>

#include "platform/Text.h"

namespace trv::platform {

// UTF-8 <-> UTF-16 at the Win32 boundary, where wchar_t is the 16-bit code unit. Ill-formed
// input becomes U+FFFD rather than failing.
inline std::wstring Utf8ToWide(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(std::string(text));
  return std::wstring(units.begin(), units.end());
}

inline std::string WideToUtf8(std::wstring_view text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace trv::platform
