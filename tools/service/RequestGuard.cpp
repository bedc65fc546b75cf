#include "RequestGuard.h"

#include <algorithm>
#include <cctype>

namespace trv::service {
namespace {

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Digits only; a page's bytes above 0x7F must not reach isdigit as negative chars.
bool AllDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool IsPortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5 || !AllDigits(text)) return false;
  const long value = std::stol(text);
  return value >= 1 && value <= 65535;
}

bool IsHostName(const std::string& host) {
  if (host.empty()) return false;
  if (host.front() == '[') {  // an IPv6 literal
    return host.back() == ']' && host.find_first_not_of("0123456789abcdef:.", 1) == host.size() - 1;
  }
  return std::all_of(host.begin(), host.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-'; });
}

// "1", "com1" and "COM01" are the same port; a path stays as it is.
std::string PortKey(const std::string& port) {
  std::string lower = Lowercase(port);
  if (lower.rfind("com", 0) == 0) lower.erase(0, 3);
  if (lower.empty() || !AllDigits(lower)) return port;
  lower.erase(0, std::min(lower.find_first_not_of('0'), lower.size() - 1));
  return lower;
}

}  // namespace

RequestGuard::RequestGuard(const ServiceSettings& settings) {
  const std::string port = std::to_string(settings.port);
  std::vector<std::string> names = {"127.0.0.1", "localhost", "[::1]"};
  if (settings.allowNetwork) names.push_back(Lowercase(settings.address));
  for (const std::string& name : names) {
    hosts_.push_back(name + ":" + port);
    if (settings.port == 80) hosts_.push_back(name);
    origins_.push_back(NormalOrigin("http://" + name + ":" + port));
  }
  for (const std::string& origin : settings.origins) {
    const std::string normal = NormalOrigin(origin);
    if (!normal.empty()) origins_.push_back(normal);
  }
  for (const std::string& allowed : settings.allowedPorts) ports_.push_back(PortKey(allowed));
}

bool RequestGuard::HostAllowed(const std::string& host) const {
  return std::find(hosts_.begin(), hosts_.end(), Lowercase(host)) != hosts_.end();
}

bool RequestGuard::OriginAllowed(const std::string& origin) const {
  const std::string normal = NormalOrigin(origin);
  return !normal.empty() && std::find(origins_.begin(), origins_.end(), normal) != origins_.end();
}

bool RequestGuard::PortAllowed(const std::string& port) const {
  return ports_.empty() || std::find(ports_.begin(), ports_.end(), PortKey(port)) != ports_.end();
}

std::vector<std::pair<std::string, std::string>> RequestGuard::CorsHeaders(
    const std::string& origin, bool preflight) const {
  if (origin.empty()) return {};
  std::vector<std::pair<std::string, std::string>> headers = {
      {"Access-Control-Allow-Origin", origin}, {"Vary", "Origin"}};
  if (preflight) {
    headers.emplace_back("Access-Control-Allow-Methods", "GET, POST");
    headers.emplace_back("Access-Control-Allow-Headers", "Content-Type");
    // Chrome's Private Network Access: a public page asks before it may reach the loopback.
    headers.emplace_back("Access-Control-Allow-Private-Network", "true");
    headers.emplace_back("Access-Control-Max-Age", "600");
  }
  return headers;
}

std::string RequestGuard::NormalOrigin(const std::string& text) {
  std::string origin = Lowercase(text);
  if (!origin.empty() && origin.back() == '/') origin.pop_back();
  const size_t schemeEnd = origin.find("://");
  if (schemeEnd == std::string::npos) return {};
  const std::string scheme = origin.substr(0, schemeEnd);
  if (scheme != "http" && scheme != "https") return {};
  std::string host = origin.substr(schemeEnd + 3);
  std::string port;
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
    port = host.substr(colon + 1);
    host.erase(colon);
    if (!IsPortNumber(port)) return {};
    port = std::to_string(std::stol(port));
  }
  if (!IsHostName(host)) return {};
  if ((scheme == "http" && port == "80") || (scheme == "https" && port == "443")) port.clear();
  return scheme + "://" + host + (port.empty() ? "" : ":" + port);
}

}  // namespace trv::service
