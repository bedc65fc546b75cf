#pragma once

#include <cstdlib>
#include <string>

namespace trv::test {

// The control library under test: TRAVINEL_OCX, a Linux path (as ctest gives it) turned into
// its name on Wine's drive Z:, or a Windows path as it is. Empty when the variable is unset.
inline std::wstring OcxPath() {
  const char* value = std::getenv("TRAVINEL_OCX");
  if (value == nullptr) return {};
  std::wstring path;
  if (value[0] == '/') path = L"Z:";
  for (const char* c = value; *c != '\0'; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  return path;
}

}  // namespace trv::test
