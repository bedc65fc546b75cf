#pragma once

#include <string>
#include <vector>

namespace trv {

// Which web pages may use the scale: the one rule behind the control's site lock and the local
// weight service. Allowed are the pages whose origin matches one of the administrator's
// patterns, one a line:
//   scheme://host[:port]        e.g. https://pdv.loja.example, http://caixa:8080
//   scheme://*.domain[:port]    any name below domain (not the domain itself)
//   file://host                 pages on that computer's shares (\\host\share\page.html)
// A pattern without a port stands for the scheme's default port (80, 443). Scheme and host
// compare without regard to letter case; anything after the host and port of a pattern is
// ignored. A pattern with user information (user@host) or a host of other characters than
// letters, digits, '.', '-' and '_' (or an IPv6 literal) is no pattern.
//
// The control also allows the pages of this computer: files on its own drives (file:///C:/...,
// file://localhost/C:/...) and http(s) pages of localhost, 127.0.0.1 and [::1]. A file: or UNC
// address that names another computer, in any of its spellings, is that computer's page.
// Every other address, an empty one included, is refused.
class SitePolicy {
 public:
  explicit SitePolicy(const std::vector<std::string>& patterns = {});

  // A page's address, as a browser gives it to the control.
  bool Allows(const std::string& address) const;
  // A browser's Origin header, as the service receives it: exactly scheme://host[:port] of
  // http or https (a path, "null" or anything else is refused), matching a pattern.
  bool AllowsOrigin(const std::string& origin) const;

  // An address's scheme, host and port, as compared (lower case; the port made explicit, 0 for
  // file:).
  struct Origin {
    std::string scheme;
    std::string host;
    int port = 0;
  };

  // Whether the text is a pattern of this policy: a configuration refuses what is not.
  static bool IsPattern(const std::string& text);
  // A pattern's parts as they are compared (a "*.domain" host keeps its "*."); false, as
  // IsPattern, for a text that is no pattern.
  static bool ParsePattern(const std::string& text, Origin& pattern);

 private:
  bool MatchesPattern(const Origin& page) const;

  std::vector<Origin> patterns_;
};

}  // namespace trv
