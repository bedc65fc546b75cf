#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ConfigurationPlace.h"

namespace trv::config {

// The browsers' managed policies on Windows: the lists
// HKLM\<software>\Policies\Google\Chrome\<policy> and ...\Microsoft\Edge\<policy>, values "1",
// "2", ... (REG_SZ, one URL pattern each), for the two policies of BrowserPolicyPattern, in both
// registry views. Other owners' entries in the same lists stay, in their order and before ours;
// ours are recognised by value: the policy patterns of the last configuration's sites.
class BrowserPolicyRegistry : public ConfigurationPlace {
 public:
  // software: the key that stands for HKLM\SOFTWARE (tests give one of their own).
  explicit BrowserPolicyRegistry(std::string software = "SOFTWARE");

  // The paths of the lists, below HKLM.
  std::vector<std::string> ListKeys() const;
  // A list with `ours` taken out of `current` (by value) and `added` put at its end.
  static std::vector<std::string> Merge(const std::map<int, std::string>& current,
                                        const std::vector<std::string>& ours,
                                        const std::vector<std::string>& added);

  std::vector<std::string> Describe() const override;
  void Save() override;
  void Restore() override;
  void Apply(const SiteConfiguration& configuration,
             const std::vector<std::string>& previousSites) override;
  void Remove(const std::vector<std::string>& previousSites) override;

 private:
  // Every list becomes Merge(list, ours, added).
  void Replace(const std::vector<std::string>& ours, const std::vector<std::string>& added);

  std::string software_;
  // Per list and view: whether the key existed, and its numbered values.
  struct SavedList {
    std::string key;
    REGSAM view;
    bool existed;
    std::map<int, std::string> values;
  };
  std::vector<SavedList> saved_;
};

}  // namespace trv::config
