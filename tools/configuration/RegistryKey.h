#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trv::config {

// A key of HKEY_LOCAL_MACHINE in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), opened
// for reading and writing, closed with the object. Names and texts are UTF-8. Failures raise
// Exception with a message in Portuguese.
class RegistryKey {
 public:
  // Opens the key, creating it when `create` is set; otherwise a missing key leaves IsOpen()
  // false and every read empty.
  RegistryKey(const std::string& path, REGSAM view, bool create);
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool IsOpen() const { return key_ != nullptr; }

  // A REG_MULTI_SZ value's lines; nothing when it is missing.
  std::optional<std::vector<std::string>> MultiString(const std::string& name) const;
  void SetMultiString(const std::string& name, const std::vector<std::string>& lines);
  // The REG_SZ values named 1, 2, 3, ... (a browser policy's list), by number.
  std::map<int, std::string> NumberedStrings() const;
  void SetString(const std::string& name, const std::string& value);
  // Deletes a value; a missing one is no failure.
  void DeleteValue(const std::string& name);
  // Whether the key holds no value and no subkey.
  bool IsEmpty() const;
  // Deletes the key when it holds nothing; otherwise leaves it.
  static void DeleteIfEmpty(const std::string& path, REGSAM view);

 private:
  std::string Where(const std::string& name) const;

  std::string path_;
  HKEY key_ = nullptr;
};

}  // namespace trv::config
