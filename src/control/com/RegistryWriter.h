#pragma once

#include <windows.h>

#include <string>

namespace trv::com {

// Writes and deletes the library's registry entries below one root and prefix: machine-wide,
// HKEY_CLASSES_ROOT with no prefix; per user, HKEY_CURRENT_USER with "Software\Classes\". Every
// value is a string (REG_SZ). It works in the registry view of the library's own bitness, or in
// the other one (`view`: KEY_WOW64_32KEY or KEY_WOW64_64KEY) where 64-bit Windows keeps classes
// apart for 32-bit programs.
class RegistryWriter {
 public:
  explicit RegistryWriter(bool perUser, REGSAM view = 0);

  // The registry view of the other bitness (KEY_WOW64_32KEY from a 64-bit library,
  // KEY_WOW64_64KEY from a 32-bit one on 64-bit Windows); 0 where there is none.
  static REGSAM OtherView();

  // Creates the key (and the keys above it) and sets its value `name` to `data`; an empty name
  // stands for the key's default value. Raises trv::Exception("Error creating system registry
  // entry") when the key cannot be created or the value cannot be set.
  void SetValue(const std::wstring& key, const std::wstring& name, const std::wstring& data) const;
  void SetDefault(const std::wstring& key, const std::wstring& data) const {
    SetValue(key, std::wstring(), data);
  }

  // Deletes a key that has no subkeys; a missing key or a refused deletion is ignored.
  void DeleteKey(const std::wstring& key) const;
  // Deletes the key only when it holds neither subkeys nor values.
  void DeleteKeyIfEmpty(const std::wstring& key) const;

  bool KeyExists(const std::wstring& key) const;
  // The key's default value; empty when the key or the value is missing.
  std::wstring DefaultValue(const std::wstring& key) const;

 private:
  HKEY root_;
  std::wstring prefix_;
  REGSAM view_;
};

}  // namespace trv::com
