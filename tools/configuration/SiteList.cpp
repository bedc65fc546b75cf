#include "SiteList.h"

#include <algorithm>
#include <sstream>

#include "platform/Text.h"

namespace trv::config {
namespace {

int DefaultPort(const std::string& scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return 0;
}

std::string NotAPattern(const std::string& text) {
  return "--sites: '" + text +
         "' não é um site como https://pdv.loja.example, https://*.loja.example ou "
         "http://caixa:8080 (sem caminho depois do nome e da porta)";
}

// Nothing after the host and port but one '/': the site policy ignores a path, so a path in a
// configuration would only mislead whoever reads it (and a '\\' would silently end the host).
bool IsOriginOnly(const std::string& text) {
  const size_t end = text.find_first_of("/?#\\", text.find("://") + 3);
  return end == std::string::npos || text.substr(end) == "/";
}

// One item of the list, checked and made canonical.
bool ParseSite(const std::string& text, bool forBrowsers, std::string& site, std::string& error) {
  SitePolicy::Origin pattern;
  if (text.size() > SiteList::kMaxPatternLength || !SitePolicy::ParsePattern(text, pattern) ||
      !IsOriginOnly(text)) {
    error = NotAPattern(text.substr(0, SiteList::kMaxPatternLength));
    return false;
  }
  if (forBrowsers && pattern.scheme == "file") {
    error = "--sites: '" + text +
            "' é um compartilhamento (file:), que as políticas dos navegadores não conhecem; "
            "use --sem-politicas para gravá-lo só para o controle e o serviço";
    return false;
  }
  site = SiteList::Canonical(pattern);
  return true;
}

}  // namespace

bool SiteList::Parse(const std::string& text, bool forBrowsers, std::vector<std::string>& sites,
                     std::string& error) {
  sites.clear();
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ';')) {
    item = platform::Trim(item);
    if (item.empty()) continue;
    std::string site;
    if (!ParseSite(item, forBrowsers, site, error)) return false;
    if (std::find(sites.begin(), sites.end(), site) != sites.end()) continue;
    if (sites.size() == kMaxSites) {
      error = "--sites: mais de " + std::to_string(kMaxSites) + " sites";
      return false;
    }
    sites.push_back(site);
  }
  if (sites.empty()) {
    error = "--sites: nenhum site na lista (separe os sites por ';')";
    return false;
  }
  return true;
}

std::string SiteList::Canonical(const SitePolicy::Origin& pattern) {
  std::string text = pattern.scheme + "://" + pattern.host;
  if (pattern.port != 0 && pattern.port != DefaultPort(pattern.scheme)) {
    text += ":" + std::to_string(pattern.port);
  }
  return text;
}

}  // namespace trv::config
