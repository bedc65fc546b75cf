#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ConfigurationPlace.h"

namespace trv::config {

// The browsers' managed policies on Linux: one file travinel.json, ours alone, in each
// browser's folder of managed policies (Chrome, Chromium, Edge), holding the policy patterns of
// the sites: {"LoopbackNetworkAllowedForUrls": [...], "LocalNetworkAccessAllowedForUrls": [...]}.
// The browsers merge it with the other files of the folder.
class BrowserPolicyFiles : public ConfigurationPlace {
 public:
  explicit BrowserPolicyFiles(std::vector<std::string> paths);

  // The text of a policy file for the sites (their policy patterns).
  static std::string Compose(const std::vector<std::string>& sites);

  std::vector<std::string> Describe() const override;
  void Save() override;
  void Restore() override;
  void Apply(const SiteConfiguration& configuration,
             const std::vector<std::string>& previousSites) override;
  void Remove(const std::vector<std::string>& previousSites) override;

 private:
  std::vector<std::string> paths_;
  std::vector<std::optional<std::string>> saved_;
};

}  // namespace trv::config
