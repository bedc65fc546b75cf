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

void* ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace trv::platform
