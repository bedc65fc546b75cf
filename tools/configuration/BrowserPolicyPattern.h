#pragma once

#include <string>
#include <vector>

namespace trv::config {

// A site of the site policy written as a URL pattern of Chrome's and Edge's policies:
//   https://*.loja.example      -> https://[*.]loja.example
//   https://pdv.example:443     -> https://pdv.example
//   http://caixa:8080           -> http://caixa:8080
// "[*.]" also takes in the domain itself, which the site policy's "*." does not: the service
// and the control still refuse that page, the browser only lets it try.
class BrowserPolicyPattern {
 public:
  // The two policies that let a listed page reach the local service: Chrome's and Edge's
  // Local Network Access refuses a public page's requests to 127.0.0.1 without them.
  static const std::vector<std::string>& PolicyNames();

  // False for a text that is no pattern of the site policy, or a file: pattern.
  static bool FromSite(const std::string& site, std::string& policyPattern);
  // The policy patterns of the sites that have one, in order, without repeats.
  static std::vector<std::string> FromSites(const std::vector<std::string>& sites);
};

}  // namespace trv::config
