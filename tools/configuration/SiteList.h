#pragma once

#include <string>
#include <vector>

#include "control/SitePolicy.h"

namespace trv::config {

// The sites of `travinel configurar --sites`: patterns of the site policy separated by ';'
// (https://*.loja.example;https://pdv.example), each kept in one canonical form so that the
// same site is written the same way in every place.
class SiteList {
 public:
  static constexpr size_t kMaxSites = 1000;
  static constexpr size_t kMaxPatternLength = 300;

  // The canonical patterns of the text, duplicates dropped; false, with a message in
  // Portuguese, for an empty list, a text that is no pattern or too many sites. forBrowsers:
  // a file: pattern is refused too (the browsers' policies have no such sites).
  static bool Parse(const std::string& text, bool forBrowsers, std::vector<std::string>& sites,
                    std::string& error);
  // scheme://host[:port] in lower case, without the scheme's default port and without anything
  // after the port.
  static std::string Canonical(const SitePolicy::Origin& pattern);
};

}  // namespace trv::config
