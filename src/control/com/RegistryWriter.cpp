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

RegistryWriter::RegistryWriter(bool perUser, REGSAM view)
    : root_(perUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT),
      prefix_(perUser ? L"Software\\Classes\\" : L""),
      view_(view) {}

REGSAM RegistryWriter::OtherView() {
#ifdef _WIN64
  return KEY_WOW64_32KEY;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

void RegistryWriter::SetValue(const std::wstring& key, const std::wstring& name,
                              const std::wstring& data) const {
  const std::wstring path = prefix_ + key;
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      kWriteAccess | view_, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    RaiseRegistryError();
  }
  const LSTATUS status = SetString(handle, name, data);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) RaiseRegistryError();
}

void RegistryWriter::DeleteKey(const std::wstring& key) const {
  const std::wstring path = prefix_ + key;
  RegDeleteKeyExW(root_, path.c_str(), view_, 0);
}

void RegistryWriter::DeleteKeyIfEmpty(const std::wstring& key) const {
  const std::wstring path = prefix_ + key;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | view_, &handle) != ERROR_SUCCESS) return;
  DWORD subkeys = 1;
  DWORD values = 1;
  const LSTATUS status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                          nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) DeleteKey(key);
}

bool RegistryWriter::KeyExists(const std::wstring& key) const {
  const std::wstring path = prefix_ + key;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | view_, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

std::wstring RegistryWriter::DefaultValue(const std::wstring& key) const {
  const std::wstring path = prefix_ + key;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ | view_, &handle) != ERROR_SUCCESS) return {};
  wchar_t data[256] = {};
  DWORD type = 0;
  DWORD bytes = sizeof data - sizeof(wchar_t);  // room for a terminating null of our own
  const LSTATUS status =
      RegQueryValueExW(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) return {};
  return data;
}

}  // namespace trv::com
