#pragma once

#include <string>
#include <vector>

namespace trv::config {

// Lists as the listing of `travinel configurar` prints them.
class ListText {
 public:
  // The items separated by "; ", or `none` for an empty list.
  static std::string Join(const std::vector<std::string>& items, const std::string& none);
};

}  // namespace trv::config
