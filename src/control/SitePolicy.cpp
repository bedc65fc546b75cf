#include "control/SitePolicy.h"

#include <algorithm>

#include "platform/Text.h"

namespace trv {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX escapes decoded, so that an escaped separator cannot hide a share's computer.
std::string PercentDecoded(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

int DefaultPort(const std::string& scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  return 0;
}

bool IsHostCharacter(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '.' || c == '-' || c == '_';
}

// A host name, an IPv4 address or a bracketed IPv6 literal; with `wildcard`, also "*.domain".
bool IsHost(const std::string& host, bool wildcard) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    return host.size() > 2 && host.back() == ']' &&
           host.find_first_not_of("0123456789abcdef:.", 1) == host.size() - 1;
  }
  const std::string name = wildcard && host.rfind("*.", 0) == 0 ? host.substr(2) : host;
  return !name.empty() && std::all_of(name.begin(), name.end(), IsHostCharacter);
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

// The port after a host: digits only, 1 to 65535; empty, the scheme's default.
bool ParsePort(const std::string& text, const std::string& scheme, int& port) {
  if (text.empty()) {
    port = DefaultPort(scheme);
    return port != 0 || scheme == "file";
  }
  return scheme != "file" && std::all_of(text.begin(), text.end(), IsAsciiDigit) &&
         platform::ParseWholeInteger(text, port) && port > 0 && port <= 65535;
}

// scheme://host[:port] at the start of the text. `strict`: nothing may follow but one '/'
// (an Origin header); otherwise a path, query or fragment may. `wildcard`: a pattern's host.
bool ParseOrigin(const std::string& text, bool strict, bool wildcard, SitePolicy::Origin& origin) {
  const size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
  origin.scheme = platform::AsciiLower(text.substr(0, schemeEnd));
  const size_t hostStart = schemeEnd + 3;
  const size_t authorityEnd = text.find_first_of("/?#\\", hostStart);
  if (strict && authorityEnd != std::string::npos && text.substr(authorityEnd) != "/") return false;
  std::string authority = platform::AsciiLower(text.substr(hostStart, authorityEnd - hostStart));
  if (authority.find('@') != std::string::npos) return false;  // user information
  const size_t bracket = authority.rfind(']');
  const size_t colon = authority.rfind(':');
  std::string port;
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    port = authority.substr(colon + 1);
    authority.erase(colon);
  }
  origin.host = authority;
  return IsHost(origin.host, wildcard) && ParsePort(port, origin.scheme, origin.port);
}

// Whether the address is a file page (file:, a UNC path or a drive path), and the computer it is
// on: empty for this one. A share's computer, in any of the spellings Windows accepts
// (file://host/share, file:////host/share, file:///\\host\share, \\host\share), is that host.
bool FileComputer(const std::string& address, std::string& computer) {
  std::string text = PercentDecoded(address);
  std::replace(text.begin(), text.end(), '\\', '/');
  computer.clear();
  std::string path;
  if (platform::AsciiLower(text.substr(0, 5)) == "file:") {
    path = text.substr(5);
    if (path.rfind("//", 0) == 0) {  // an authority follows
      const size_t end = path.find('/', 2);
      computer = platform::AsciiLower(
          path.substr(2, end == std::string::npos ? std::string::npos : end - 2));
      path = end == std::string::npos ? std::string() : path.substr(end);
      if (computer == "localhost") computer.clear();
      if (!computer.empty()) return true;
    }
  } else if (text.rfind("//", 0) == 0) {
    path = text;
  } else if (text.size() >= 3 && IsAsciiLetter(text[0]) && text[1] == ':' && text[2] == '/') {
    return true;  // a drive path
  } else {
    return false;
  }
  if (path.rfind("//", 0) != 0) return !path.empty();
  const size_t begin = path.find_first_not_of('/');
  if (begin == std::string::npos) return false;
  const size_t end = path.find('/', begin);
  computer = platform::AsciiLower(
      path.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
  return true;
}

}  // namespace

SitePolicy::SitePolicy(const std::vector<std::string>& patterns) {
  for (const std::string& line : patterns) {
    Origin pattern;
    if (ParseOrigin(platform::Trim(line), false, true, pattern)) patterns_.push_back(pattern);
  }
}

bool SitePolicy::IsPattern(const std::string& text) {
  Origin pattern;
  return ParsePattern(text, pattern);
}

bool SitePolicy::ParsePattern(const std::string& text, Origin& pattern) {
  if (!ParseOrigin(platform::Trim(text), false, true, pattern)) return false;
  return pattern.scheme == "http" || pattern.scheme == "https" || pattern.scheme == "file";
}

bool SitePolicy::Allows(const std::string& address) const {
  std::string computer;
  if (FileComputer(address, computer)) {
    return computer.empty() || MatchesPattern({"file", computer, 0});
  }
  Origin page;
  if (!ParseOrigin(address, false, false, page)) return false;
  if (page.scheme != "http" && page.scheme != "https") return false;
  return IsLocalHost(page.host) || MatchesPattern(page);
}

bool SitePolicy::AllowsOrigin(const std::string& origin) const {
  Origin page;
  if (!ParseOrigin(origin, true, false, page)) return false;
  return (page.scheme == "http" || page.scheme == "https") && MatchesPattern(page);
}

bool SitePolicy::MatchesPattern(const Origin& page) const {
  return std::any_of(patterns_.begin(), patterns_.end(), [&](const Origin& allowed) {
    return allowed.scheme == page.scheme && allowed.port == page.port &&
           HostMatches(page.host, allowed.host);
  });
}

}  // namespace trv
