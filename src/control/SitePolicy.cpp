#include "control/SitePolicy.h"

#include <algorithm>

#include "platform/Text.h"

namespace trv {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

int DefaultPort(const std::string& scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// host matches a pattern's host: the same name, or for "*.domain" a name below domain.
bool HostMatches(const std::string& host, const std::string& pattern) {
  if (pattern.rfind("*.", 0) != 0) return host == pattern;
  const std::string domain = pattern.substr(1);  // ".domain"
  return host.size() > domain.size() && EndsWith(host, domain);
}

bool IsLocalHost(const std::string& host) {
  return host == "localhost" || host == "127.0.0.1" || host == "[::1]";
}

}  // namespace

bool SitePolicy::ParseOrigin(const std::string& address, Origin& origin) {
  const size_t schemeEnd = address.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
  origin.scheme = Lower(address.substr(0, schemeEnd));
  const size_t hostStart = schemeEnd + 3;
  const size_t authorityEnd = address.find_first_of("/?#\\", hostStart);
  std::string authority = address.substr(hostStart, authorityEnd - hostStart);
  // A user name before the host (user@host) is no part of the host: the host is what follows.
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority = authority.substr(at + 1);
  const size_t bracket = authority.rfind(']');
  const size_t colon = authority.rfind(':');
  std::string port;
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    port = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
  }
  origin.host = Lower(authority);
  if (origin.host.empty()) return false;
  if (port.empty()) {
    origin.port = DefaultPort(origin.scheme);
    return origin.port != 0;
  }
  return platform::ParseWholeInteger(port, origin.port) && origin.port > 0 &&
         origin.port <= 65535 && port.front() != '+';
}

bool SitePolicy::Allows(const std::string& address) const {
  if (Lower(address.substr(0, 5)) == "file:") return true;
  Origin page;
  if (!ParseOrigin(address, page)) return false;
  if (page.scheme != "http" && page.scheme != "https") return false;
  if (IsLocalHost(page.host)) return true;
  for (const std::string& line : patterns_) {
    Origin allowed;
    const std::string pattern = platform::Trim(line);
    if (pattern.empty() || !ParseOrigin(pattern, allowed)) continue;
    if (allowed.scheme == page.scheme && allowed.port == page.port &&
        HostMatches(page.host, allowed.host)) {
      return true;
    }
  }
  return false;
}

}  // namespace trv
