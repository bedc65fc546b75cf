#include <windows.h>

#include "platform/Library.h"
#include "platform/TextWin32.h"

namespace trv::platform {

void* LoadLibraryByName(const std::string& name) {
  return reinterpret_cast<void*>(LoadLibraryW(Utf8ToWide(name).c_str()));
}

void* FindLibraryFunction(void* library, const std::string& function) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), function.c_str()));
}

}  // namespace trv::platform
