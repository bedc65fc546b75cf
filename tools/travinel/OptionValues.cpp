#include "OptionValues.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>

namespace trv::cli {
namespace {

const char* const kModels[] = {"nenhum", "filizola", "toledo", "toledo2180",
                               "urano",  "lucastec", "magna",  "digitron"};
const char* const kParities[] = {"n", "o", "e", "m", "s"};
const char* const kHandshakes[] = {"nenhum", "xon", "rts", "dtr"};
const char* const kUnits[] = {"g", "kg"};

bool IsPath(const std::string& text) {
#ifdef _WIN32
  return !text.empty();
#else
  return text.find('/') != std::string::npos;
#endif
}

}  // namespace

bool OptionValues::Integer(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, parsed);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool OptionValues::Port(const std::string& text, int& number, std::string& path) {
  const std::string lower = platform::AsciiLower(text);
  const std::string digits = lower.rfind("com", 0) == 0 ? lower.substr(3) : lower;
  if (Integer(digits, 0, 255, number)) {
    path.clear();
    return true;
  }
  if (text.rfind('-', 0) == 0 || !IsPath(text)) return false;
  number = -1;
  path = text;
  return true;
}

bool OptionValues::Choice(const std::string& text, const char* const* names, int count,
                          int& value) {
  if (Integer(text, 0, count - 1, value)) return true;
  const std::string wanted = platform::AsciiLower(text);
  for (int index = 0; index < count; ++index) {
    if (wanted != names[index]) continue;
    value = index;
    return true;
  }
  return false;
}

bool OptionValues::Model(const std::string& text, int& value) {
  return Choice(text, kModels, static_cast<int>(std::size(kModels)), value);
}

bool OptionValues::Parity(const std::string& text, int& value) {
  return Choice(text, kParities, static_cast<int>(std::size(kParities)), value);
}

bool OptionValues::Handshake(const std::string& text, int& value) {
  return Choice(text, kHandshakes, static_cast<int>(std::size(kHandshakes)), value);
}

bool OptionValues::Unit(const std::string& text, int& value) {
  return Choice(text, kUnits, static_cast<int>(std::size(kUnits)), value);
}

std::string OptionValues::ModelName(int model) {
  const int count = static_cast<int>(std::size(kModels));
  return model >= 0 && model < count ? kModels[model] : std::to_string(model);
}

}  // namespace trv::cli
