#include <windows.h>

#include <memory>

#include "BrowserPolicyRegistry.h"
#include "ConfigurationPlaces.h"
#include "ControlSiteListRegistry.h"
#include "ServiceConfigurationPlace.h"
#include "platform/TextWin32.h"

namespace trv::config {
namespace {

// %ProgramData%, or the usual folder when the variable is missing.
std::string ProgramData() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return "C:\\ProgramData";
  return platform::WideToUtf8(folder);
}

}  // namespace

bool ConfigurationPlaces::TakesRoot() {
  return false;
}

std::string ConfigurationPlaces::ServiceFilePath(const std::string&) {
  return ProgramData() + "\\Travinel\\servir.json";
}

std::vector<std::unique_ptr<ConfigurationPlace>> ConfigurationPlaces::Make(const std::string& root,
                                                                           bool withBrowsers) {
  std::vector<std::unique_ptr<ConfigurationPlace>> places;
  places.push_back(std::make_unique<ServiceConfigurationPlace>(ServiceFilePath(root)));
  places.push_back(std::make_unique<ControlSiteListRegistry>());
  if (withBrowsers) places.push_back(std::make_unique<BrowserPolicyRegistry>());
  return places;
}

}  // namespace trv::config
