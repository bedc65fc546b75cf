#include "control/com/TypeLibraryRegistration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

namespace trv::com {

namespace {

using Microsoft::WRL::ComPtr;
using RegisterForUserFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The platform a type library is registered under is the one the library was built for.
#ifdef _WIN64
constexpr SYSKIND kThisPlatform = SYS_WIN64;
#else
constexpr SYSKIND kThisPlatform = SYS_WIN32;
#endif

// An export of the automation library, which the process has already loaded (the control links
// it); null when the library or the export is missing.
template <typename Function>
Function FindAutomationFunction(const char* name) {
  HMODULE automation = GetModuleHandleW(L"OLEAUT32.DLL");
  if (automation == nullptr) return nullptr;
  FARPROC address = GetProcAddress(automation, name);
  if (address == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// The folder of a full file name, without the final separator.
std::wstring FolderOf(const std::wstring& path) {
  const std::wstring::size_type separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

HRESULT RegisterLoaded(ITypeLib* library, std::wstring fullPath, std::wstring helpFolder,
                       bool perUser) {
  const auto forUser = FindAutomationFunction<RegisterForUserFunction>("RegisterTypeLibForUser");
  if (perUser && forUser != nullptr) return forUser(library, fullPath.data(), helpFolder.data());
  return RegisterTypeLib(library, fullPath.data(), helpFolder.data());
}

}  // namespace

bool RegisterTypeLibrary(const std::wstring& modulePath, bool perUser) {
  std::wstring helpFolder = FolderOf(modulePath);
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library))) return false;
  return SUCCEEDED(RegisterLoaded(library.Get(), modulePath, std::move(helpFolder), perUser));
}

std::wstring TypeLibraryPlatformKey(const std::wstring& libIdText, WORD major, WORD minor) {
  const wchar_t* platform = kThisPlatform == SYS_WIN64 ? L"win64" : L"win32";
  return L"TypeLib\\" + libIdText + L"\\" + std::to_wstring(major) + L"." + std::to_wstring(minor) +
         L"\\0\\" + platform;
}

std::vector<GUID> TypeLibraryInterfaces(const std::wstring& modulePath) {
  std::vector<GUID> interfaces;
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library))) return interfaces;
  const UINT count = library->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    TYPEKIND kind = TKIND_MAX;
    ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfoType(i, &kind)) ||
        (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) ||
        FAILED(library->GetTypeInfo(i, &info))) {
      continue;
    }
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
      interfaces.push_back(attributes->guid);
      info->ReleaseTypeAttr(attributes);
    }
  }
  return interfaces;
}

void UnregisterTypeLibrary(const GUID& libId, WORD major, WORD minor, bool perUser) {
  const auto forUser = FindAutomationFunction<UnregisterFunction>("UnRegisterTypeLibForUser");
  const auto machineWide = FindAutomationFunction<UnregisterFunction>("UnRegisterTypeLib");
  const UnregisterFunction unregister = (perUser && forUser != nullptr) ? forUser : machineWide;
  if (unregister != nullptr) unregister(libId, major, minor, 0, kThisPlatform);
}

}  // namespace trv::com
