#include "RegistryKey.h"

#include <algorithm>

#include "platform/Exception.h"
#include "platform/SystemError.h"
#include "platform/TextWin32.h"

namespace trv::config {
namespace {

using platform::Utf8ToWide;
using platform::WideToUtf8;

[[noreturn]] void Fail(const std::string& what, LSTATUS status) {
  std::string message = what + ": erro " + std::to_string(status);
  const std::string text = platform::SystemErrorText(static_cast<int>(status));
  if (!text.empty()) message += " (" + text + ")";
  throw Exception(message);
}

// A decimal number from 1 without leading zeros, as browsers name the entries of a list.
bool ListNumber(const std::wstring& name, int& number) {
  if (name.empty() || name.size() > 6 || name[0] == L'0') return false;
  number = 0;
  for (const wchar_t c : name) {
    if (c < L'0' || c > L'9') return false;
    number = number * 10 + (c - L'0');
  }
  return true;
}

}  // namespace

RegistryKey::RegistryKey(const std::string& path, REGSAM view, bool create) : path_(path) {
  const std::wstring wide = Utf8ToWide(path);
  const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | view;
  const LSTATUS status = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, nullptr, 0,
                                                  access, nullptr, &key_, nullptr)
                                : RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide.c_str(), 0, access, &key_);
  if (status == ERROR_SUCCESS) return;
  key_ = nullptr;
  if (!create && status == ERROR_FILE_NOT_FOUND) return;
  Fail("não foi possível abrir HKLM\\" + path, status);
}

RegistryKey::~RegistryKey() {
  if (key_ != nullptr) RegCloseKey(key_);
}

std::string RegistryKey::Where(const std::string& name) const {
  return "HKLM\\" + path_ + "\\" + name;
}

std::optional<std::vector<std::string>> RegistryKey::MultiString(const std::string& name) const {
  if (key_ == nullptr) return std::nullopt;
  const std::wstring wideName = Utf8ToWide(name);
  DWORD bytes = 0;
  LSTATUS status =
      RegGetValueW(key_, nullptr, wideName.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) Fail("não foi possível ler " + Where(name), status);
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
  status = RegGetValueW(key_, nullptr, wideName.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, data.data(),
                        &bytes);
  if (status != ERROR_SUCCESS) Fail("não foi possível ler " + Where(name), status);
  std::vector<std::string> lines;
  for (const wchar_t* line = data.data(); *line != L'\0'; line += wcslen(line) + 1) {
    lines.push_back(WideToUtf8(line));
  }
  return lines;
}

void RegistryKey::SetMultiString(const std::string& name, const std::vector<std::string>& lines) {
  std::wstring data;
  for (const std::string& line : lines) {
    if (line.empty()) continue;  // an empty line would end the list
    data += Utf8ToWide(line);
    data += L'\0';
  }
  data += L'\0';
  const LSTATUS status = RegSetValueExW(key_, Utf8ToWide(name).c_str(), 0, REG_MULTI_SZ,
                                        reinterpret_cast<const BYTE*>(data.data()),
                                        static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) Fail("não foi possível gravar " + Where(name), status);
}

std::map<int, std::string> RegistryKey::NumberedStrings() const {
  std::map<int, std::string> values;
  if (key_ == nullptr) return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[64];
    DWORD nameLength = 64;
    DWORD type = 0;
    DWORD bytes = 0;
    const LSTATUS status =
        RegEnumValueW(key_, index, name, &nameLength, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) continue;  // a name too long to be a number
    if (status != ERROR_SUCCESS) Fail("não foi possível ler HKLM\\" + path_, status);
    int number = 0;
    if (type != REG_SZ || !ListNumber(std::wstring(name, nameLength), number)) continue;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD size = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    const LSTATUS read =
        RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, data.data(), &size);
    if (read != ERROR_SUCCESS) Fail("não foi possível ler " + Where(WideToUtf8(name)), read);
    values[number] = WideToUtf8(data.data());
  }
  return values;
}

void RegistryKey::SetString(const std::string& name, const std::string& value) {
  const std::wstring data = Utf8ToWide(value);
  const LSTATUS status = RegSetValueExW(key_, Utf8ToWide(name).c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(data.c_str()),
                                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) Fail("não foi possível gravar " + Where(name), status);
}

void RegistryKey::DeleteValue(const std::string& name) {
  if (key_ == nullptr) return;
  const LSTATUS status = RegDeleteValueW(key_, Utf8ToWide(name).c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail("não foi possível apagar " + Where(name), status);
  }
}

bool RegistryKey::IsEmpty() const {
  if (key_ == nullptr) return true;
  DWORD subkeys = 0;
  DWORD values = 0;
  const LSTATUS status = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                          nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail("não foi possível ler HKLM\\" + path_, status);
  return subkeys == 0 && values == 0;
}

void RegistryKey::DeleteIfEmpty(const std::string& path, REGSAM view) {
  {
    const RegistryKey key(path, view, false);
    if (!key.IsOpen() || !key.IsEmpty()) return;
  }
  const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, Utf8ToWide(path).c_str(), view, 0);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail("não foi possível apagar HKLM\\" + path, status);
  }
}

}  // namespace trv::config
