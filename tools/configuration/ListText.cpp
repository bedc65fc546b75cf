#include "ListText.h"

namespace trv::config {

std::string ListText::Join(const std::vector<std::string>& items, const std::string& none) {
  if (items.empty()) return none;
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += "; ";
    text += item;
  }
  return text;
}

}  // namespace trv::config
