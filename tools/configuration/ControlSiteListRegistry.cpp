#include "ControlSiteListRegistry.h"

#include <algorithm>
#include <utility>

#include "ListText.h"
#include "RegistryKey.h"

namespace trv::config {
namespace {

constexpr char kValue[] = "SitesPermitidos";
constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

const char* ViewName(REGSAM view) {
  return view == KEY_WOW64_32KEY ? "32 bits" : "64 bits";
}

}  // namespace

ControlSiteListRegistry::ControlSiteListRegistry(std::string software)
    : key_(std::move(software) + "\\Dornavel\\Travinel") {}

std::optional<std::vector<std::string>> ControlSiteListRegistry::Read(REGSAM view) const {
  return RegistryKey(key_, view, false).MultiString(kValue);
}

void ControlSiteListRegistry::Write(REGSAM view,
                                    const std::optional<std::vector<std::string>>& sites) {
  if (sites) {
    RegistryKey(key_, view, true).SetMultiString(kValue, *sites);
    return;
  }
  RegistryKey(key_, view, false).DeleteValue(kValue);
}

std::vector<std::string> ControlSiteListRegistry::Describe() const {
  std::vector<std::string> lines;
  for (const REGSAM view : kViews) {
    const auto sites = Read(view);
    lines.push_back("Controle (HKLM\\" + key_ + "\\" + kValue + ", " + ViewName(view) +
                    "): " + (sites ? ListText::Join(*sites, "nenhum") : "não configurado"));
  }
  return lines;
}

std::vector<std::string> ControlSiteListRegistry::RecordedSites() const {
  std::vector<std::string> sites;
  for (const REGSAM view : kViews) {
    for (const std::string& site : Read(view).value_or(std::vector<std::string>{})) {
      if (std::find(sites.begin(), sites.end(), site) == sites.end()) sites.push_back(site);
    }
  }
  return sites;
}

void ControlSiteListRegistry::Save() {
  saved_.clear();
  for (const REGSAM view : kViews) saved_.push_back(Read(view));
}

void ControlSiteListRegistry::Restore() {
  for (size_t index = 0; index < saved_.size(); ++index) Write(kViews[index], saved_[index]);
}

void ControlSiteListRegistry::Apply(const SiteConfiguration& configuration,
                                    const std::vector<std::string>&) {
  for (const REGSAM view : kViews) Write(view, configuration.sites);
}

void ControlSiteListRegistry::Remove(const std::vector<std::string>&) {
  for (const REGSAM view : kViews) Write(view, std::nullopt);
}

}  // namespace trv::config
