#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ServiceSettings.h"
#include "control/SitePolicy.h"

namespace trv::service {

// Decides whether a request may reach the scale, treating every page as a stranger until it is
// on the allowed list:
//   - Host must name this service on the loopback address (127.0.0.1, localhost or [::1], with
//     the service's port), so that a page of another site cannot reach it by rebinding its own
//     name to 127.0.0.1;
//   - Origin, when the browser sends one, must be the service's own origin or match one of the
//     configured site patterns: the control's site policy, the same rule as its site lock.
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

 private:
  std::vector<std::string> hosts_;
  SitePolicy origins_;
  std::vector<std::string> ports_;
};

}  // namespace trv::service
