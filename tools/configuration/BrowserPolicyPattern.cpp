#include "BrowserPolicyPattern.h"

#include "SiteList.h"
#include "control/SitePolicy.h"

#include <algorithm>

namespace trv::config {

const std::vector<std::string>& BrowserPolicyPattern::PolicyNames() {
  static const std::vector<std::string> names{"LoopbackNetworkAllowedForUrls",
                                              "LocalNetworkAccessAllowedForUrls"};
  return names;
}

bool BrowserPolicyPattern::FromSite(const std::string& site, std::string& policyPattern) {
  SitePolicy::Origin pattern;
  if (!SitePolicy::ParsePattern(site, pattern) || pattern.scheme == "file") return false;
  if (pattern.host.rfind("*.", 0) == 0) pattern.host = "[*.]" + pattern.host.substr(2);
  policyPattern = SiteList::Canonical(pattern);
  return true;
}

std::vector<std::string> BrowserPolicyPattern::FromSites(const std::vector<std::string>& sites) {
  std::vector<std::string> patterns;
  for (const std::string& site : sites) {
    std::string pattern;
    if (!FromSite(site, pattern)) continue;
    if (std::find(patterns.begin(), patterns.end(), pattern) == patterns.end()) {
      patterns.push_back(pattern);
    }
  }
  return patterns;
}

}  // namespace trv::config
