#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ConfigurationPlace.h"

namespace trv::config {

// The places of this system that `travinel configurar` writes, in the order it writes them:
// the service's file first, the browsers' policies last.
//   Linux:   <root>/etc/travinel/servir.json, and travinel.json in
//            <root>/etc/opt/chrome/policies/managed, <root>/etc/chromium/policies/managed,
//            <root>/etc/opt/edge/policies/managed
//   Windows: %ProgramData%\Travinel\servir.json, the control's site list and the browsers'
//            policy lists in the registry (root must be empty there)
class ConfigurationPlaces {
 public:
  // Whether this system takes a root folder (the tests' stand-in for /).
  static bool TakesRoot();
  static std::string ServiceFilePath(const std::string& root);
  // withBrowsers false: the browsers' policies are left alone.
  static std::vector<std::unique_ptr<ConfigurationPlace>> Make(const std::string& root,
                                                               bool withBrowsers);
};

}  // namespace trv::config
