#include "BrowserPolicyRegistry.h"

#include <algorithm>
#include <utility>

#include "BrowserPolicyPattern.h"
#include "ListText.h"
#include "RegistryKey.h"

namespace trv::config {
namespace {

constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
constexpr const char* kBrowsers[] = {"Policies\\Google\\Chrome", "Policies\\Microsoft\\Edge"};

const char* ViewName(REGSAM view) {
  return view == KEY_WOW64_32KEY ? "32 bits" : "64 bits";
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::vector<std::string> Values(const std::map<int, std::string>& numbered) {
  std::vector<std::string> values;
  for (const auto& entry : numbered) values.push_back(entry.second);
  return values;
}

// Deletes an empty list's key, then its browser's and its vendor's keys if they are empty too
// (Policies\Google\Chrome\<policy>: up to Google).
void DeleteEmptyList(const std::string& path, REGSAM view) {
  std::string key = path;
  for (int level = 0; level < 3; ++level) {
    RegistryKey::DeleteIfEmpty(key, view);
    key.erase(key.rfind('\\'));
  }
}

// Makes the list's numbered values exactly `wanted`, writing in the order of the numbers and
// touching only the values that change; a list left empty is deleted with its key.
void WriteNumbered(const std::string& path, REGSAM view, const std::map<int, std::string>& wanted) {
  {
    RegistryKey key(path, view, !wanted.empty());
    if (!key.IsOpen()) return;
    const std::map<int, std::string> current = key.NumberedStrings();
    for (const auto& [number, value] : wanted) {
      const auto found = current.find(number);
      if (found == current.end() || found->second != value) {
        key.SetString(std::to_string(number), value);
      }
    }
    for (const auto& entry : current) {
      if (wanted.count(entry.first) == 0) key.DeleteValue(std::to_string(entry.first));
    }
  }
  if (wanted.empty()) DeleteEmptyList(path, view);
}

std::map<int, std::string> Numbered(const std::vector<std::string>& list) {
  std::map<int, std::string> numbered;
  for (size_t index = 0; index < list.size(); ++index) {
    numbered[static_cast<int>(index + 1)] = list[index];
  }
  return numbered;
}

}  // namespace

BrowserPolicyRegistry::BrowserPolicyRegistry(std::string software)
    : software_(std::move(software)) {}

std::vector<std::string> BrowserPolicyRegistry::ListKeys() const {
  std::vector<std::string> keys;
  for (const char* browser : kBrowsers) {
    for (const std::string& policy : BrowserPolicyPattern::PolicyNames()) {
      keys.push_back(software_ + "\\" + browser + "\\" + policy);
    }
  }
  return keys;
}

std::vector<std::string> BrowserPolicyRegistry::Merge(const std::map<int, std::string>& current,
                                                      const std::vector<std::string>& ours,
                                                      const std::vector<std::string>& added) {
  std::vector<std::string> merged;
  for (const std::string& value : Values(current)) {
    if (!Contains(ours, value) && !Contains(added, value)) merged.push_back(value);
  }
  for (const std::string& value : added) {
    if (!Contains(merged, value)) merged.push_back(value);
  }
  return merged;
}

std::vector<std::string> BrowserPolicyRegistry::Describe() const {
  std::vector<std::string> lines;
  for (const std::string& path : ListKeys()) {
    for (const REGSAM view : kViews) {
      const std::map<int, std::string> values = RegistryKey(path, view, false).NumberedStrings();
      lines.push_back("Navegador (HKLM\\" + path + ", " + ViewName(view) +
                      "): " + ListText::Join(Values(values), "nenhum"));
    }
  }
  return lines;
}

void BrowserPolicyRegistry::Save() {
  saved_.clear();
  for (const std::string& path : ListKeys()) {
    for (const REGSAM view : kViews) {
      const RegistryKey key(path, view, false);
      saved_.push_back({path, view, key.IsOpen(), key.NumberedStrings()});
    }
  }
}

void BrowserPolicyRegistry::Restore() {
  for (const SavedList& list : saved_) {
    WriteNumbered(list.key, list.view, list.values);
    if (!list.existed) DeleteEmptyList(list.key, list.view);
  }
}

void BrowserPolicyRegistry::Replace(const std::vector<std::string>& ours,
                                    const std::vector<std::string>& added) {
  for (const std::string& path : ListKeys()) {
    for (const REGSAM view : kViews) {
      const std::map<int, std::string> current = RegistryKey(path, view, false).NumberedStrings();
      const std::vector<std::string> merged = Merge(current, ours, added);
      if (merged != Values(current)) {
        WriteNumbered(path, view, Numbered(merged));
      }
    }
  }
}

void BrowserPolicyRegistry::Apply(const SiteConfiguration& configuration,
                                  const std::vector<std::string>& previousSites) {
  Replace(BrowserPolicyPattern::FromSites(previousSites),
          BrowserPolicyPattern::FromSites(configuration.sites));
}

void BrowserPolicyRegistry::Remove(const std::vector<std::string>& previousSites) {
  Replace(BrowserPolicyPattern::FromSites(previousSites), {});
}

}  // namespace trv::config
