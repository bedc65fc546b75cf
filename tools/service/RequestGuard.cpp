#include "RequestGuard.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>

namespace trv::service {
namespace {

// Digits only; a page's bytes above 0x7F must not reach isdigit as negative chars.
bool AllDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "1", "com1" and "COM01" are the same port; a path stays as it is.
std::string PortKey(const std::string& port) {
  std::string lower = platform::AsciiLower(port);
  if (lower.rfind("com", 0) == 0) lower.erase(0, 3);
  if (lower.empty() || !AllDigits(lower)) return port;
  lower.erase(0, std::min(lower.find_first_not_of('0'), lower.size() - 1));
  return lower;
}

// The service's own origins (its page, under each of its names) and the configured patterns.
std::vector<std::string> OriginPatterns(const ServiceSettings& settings,
                                        const std::vector<std::string>& names) {
  std::vector<std::string> patterns = settings.origins;
  for (const std::string& name : names) {
    patterns.push_back("http://" + name + ":" + std::to_string(settings.port));
  }
  return patterns;
}

std::vector<std::string> HostNames(const ServiceSettings& settings) {
  std::vector<std::string> names = {"127.0.0.1", "localhost", "[::1]"};
  if (settings.allowNetwork) names.push_back(platform::AsciiLower(settings.address));
  return names;
}

}  // namespace

RequestGuard::RequestGuard(const ServiceSettings& settings)
    : origins_(OriginPatterns(settings, HostNames(settings))) {
  const std::string port = std::to_string(settings.port);
  for (const std::string& name : HostNames(settings)) {
    hosts_.push_back(name + ":" + port);
    if (settings.port == 80) hosts_.push_back(name);
  }
  for (const std::string& allowed : settings.allowedPorts) ports_.push_back(PortKey(allowed));
}

bool RequestGuard::HostAllowed(const std::string& host) const {
  return std::find(hosts_.begin(), hosts_.end(), platform::AsciiLower(host)) != hosts_.end();
}

bool RequestGuard::OriginAllowed(const std::string& origin) const {
  return origins_.AllowsOrigin(origin);
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

}  // namespace trv::service
