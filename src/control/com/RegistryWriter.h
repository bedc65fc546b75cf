#pragma once

#include <windows.h>

#include <string>

namespace trv::com {

// Writes and deletes the library's registry entries below one root and prefix: machine-wide,
// HKEY_CLASSES_ROOT with no prefix; per user, HKEY_CURRENT_USER with "Software\Classes\". Every
// value is a string (REG_SZ).
class RegistryWriter {
 public:
  explicit RegistryWriter(bool perUser);

  // Creates the key (and the keys above it) and sets its value `name` to `data`; an empty name
  // stands for the key's default value. Raises trv::Exception("Error creating system registry
  // entry") when the key cannot be created or the value cannot be set.
  void SetValue(const std::wstring& key, const std::wstring& name, const std::wstring& data) const;
  void SetDefault(const std::wstring& key, const std::wstring& data) const {
    SetValue(key, std::wstring(), data);
  }

  // Deletes a key that has no subkeys; a missing key or a refused deletion is ignored.
  void DeleteKey(const std::wstring& key) const;

 private:
  HKEY root_;
  std::wstring prefix_;
};

}  // namespace trv::com
