#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ServiceSettings.h"

namespace trv::service {

// Decides whether a request may reach the scale, treating every page as a stranger until it is
// on the allowed list:
//   - Host must name this service on the loopback address (127.0.0.1, localhost or [::1], with
//     the service's port), so that a page of another site cannot reach it by rebinding its own
//     name to 127.0.0.1;
//   - Origin, when the browser sends one, must be the service's own origin or one of the
//     configured ones, compared exactly (scheme, host and port; case of scheme and host aside).
// A service listening on another address (--permitir-rede) also accepts that address as Host.
class RequestGuard {
 public:
  explicit RequestGuard(const ServiceSettings& settings);

  bool HostAllowed(const std::string& host) const;
  bool OriginAllowed(const std::string& origin) const;
  // Whether pages may use this port ("1", "com1" or a device path), by the allowed list.
  bool PortAllowed(const std::string& port) const;
  // The CORS headers of an answer to this allowed origin (none without an origin).
  std::vector<std::pair<std::string, std::string>> CorsHeaders(const std::string& origin,
                                                               bool preflight) const;

  // scheme://host[:port] in lower case with the default port left out; empty when the text is
  // not such an origin (a path, user information or anything else makes it none).
  static std::string NormalOrigin(const std::string& text);

 private:
  std::vector<std::string> hosts_;
  std::vector<std::string> origins_;
  std::vector<std::string> ports_;
};

}  // namespace trv::service
