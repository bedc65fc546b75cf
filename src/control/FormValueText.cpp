#include "control/FormValueText.h"

#include <charconv>

#include "platform/Text.h"

namespace trv {
namespace {

bool IsPath(const std::string& text) {
#ifdef _WIN32
  return !text.empty();
#else
  return text.find('/') != std::string::npos;
#endif
}

}  // namespace

bool FormValueText::Integer(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, parsed);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool FormValueText::Port(const std::string& text, int low, int high, int& number,
                         std::string& path) {
  const std::string lower = platform::AsciiLower(text);
  const std::string digits = lower.rfind("com", 0) == 0 ? lower.substr(3) : lower;
  if (Integer(digits, low, high, number)) {
    path.clear();
    return true;
  }
  if (text.rfind('-', 0) == 0 || !IsPath(text)) return false;
  number = -1;
  path = text;
  return true;
}

bool FormValueText::Choice(const std::string& text, const char* const* names, int low, int high,
                           int& value) {
  if (Integer(text, low, high, value)) return true;
  const std::string wanted = platform::AsciiLower(text);
  for (int index = 0; index <= high - low; ++index) {
    if (wanted != names[index]) continue;
    value = low + index;
    return true;
  }
  return false;
}

}  // namespace trv
