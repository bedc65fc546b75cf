#include "control/com/RegistryWriter.h"

#include "platform/Exception.h"

namespace trv::com {

namespace {

constexpr REGSAM kWriteAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

[[noreturn]] void RaiseRegistryError() {
  throw Exception("Error creating system registry entry");
}

// Sets one REG_SZ value of an open key; the size counts the terminating null.
LSTATUS SetString(HKEY key, const std::wstring& name, const std::wstring& data) {
  const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

}  // namespace

RegistryWriter::RegistryWriter(bool perUser)
    : root_(perUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT),
      prefix_(perUser ? L"Software\\Classes\\" : L"") {}

void RegistryWriter::SetValue(const std::wstring& key, const std::wstring& name,
                              const std::wstring& data) const {
  const std::wstring path = prefix_ + key;
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kWriteAccess,
                      nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    RaiseRegistryError();
  }
  const LSTATUS status = SetString(handle, name, data);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) RaiseRegistryError();
}

void RegistryWriter::DeleteKey(const std::wstring& key) const {
  const std::wstring path = prefix_ + key;
  RegDeleteKeyW(root_, path.c_str());
}

}  // namespace trv::com
