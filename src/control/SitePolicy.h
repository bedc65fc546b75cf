#pragma once

#include <string>
#include <vector>

namespace trv {

// Which web pages may use the scale: the control is safe for scripting only on them. Allowed
// are pages on the local machine (file:), http(s) pages of localhost and 127.0.0.1, and pages
// whose address matches one of the administrator's patterns, one a line:
//   scheme://host[:port]        e.g. https://pdv.loja.example, http://caixa:8080
//   scheme://*.domain[:port]    any subdomain of domain (not the domain itself)
// A pattern without a port stands for the scheme's default port (80, 443). Scheme and host
// compare without regard to letter case; anything after the host and port of a pattern is
// ignored. Every other address, an empty one included, is refused.
class SitePolicy {
 public:
  explicit SitePolicy(std::vector<std::string> patterns = {}) : patterns_(std::move(patterns)) {}

  bool Allows(const std::string& address) const;

  // A page address's scheme, host and port, as compared (lower case; the port made explicit).
  struct Origin {
    std::string scheme;
    std::string host;
    int port = 0;
  };
  // False when the address is not scheme://host[:port][/...] with a known default port.
  static bool ParseOrigin(const std::string& address, Origin& origin);

 private:
  std::vector<std::string> patterns_;
};

}  // namespace trv
