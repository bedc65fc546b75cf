#include <windows.h>

#include <string>

#include "platform/TextWin32.h"

namespace trv::platform {

std::string RawSystemErrorText(int code) {
  wchar_t* buffer = nullptr;
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the address of a
  // LocalAlloc'ed text, hence the cast of its address.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return std::string();
  std::string text = WideToUtf8(std::wstring_view(buffer, length));
  LocalFree(buffer);
  return text;
}

}  // namespace trv::platform
