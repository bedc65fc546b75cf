#include "scale/ScaleNumbers.h"

#include <charconv>
#include <cmath>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace trv {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Advances i over decimal digits; answers how many there were.
size_t SkipDigits(const std::string& text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i - start;
}

void SkipSpaces(const std::string& text, size_t& i) {
  while (i < text.size() && text[i] == ' ') ++i;
}

void SkipSign(const std::string& text, size_t& i) {
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
}

}  // namespace

std::string ScaleNumbers::WithDecimalSeparator(std::string text) {
  const char separator = platform::DecimalSeparator();
  for (char& c : text) {
    if (c == '.' || c == ',') c = separator;
  }
  return text;
}

bool ScaleNumbers::TryToInteger(const std::string& text, int32_t& value) {
  size_t i = 0;
  SkipSpaces(text, i);
  const bool negative = i < text.size() && text[i] == '-';
  SkipSign(text, i);
  const size_t digitsStart = i;
  if (SkipDigits(text, i) == 0 || i != text.size()) return false;
  // from_chars takes no '+'; a '-' it takes itself, so the range check covers INT32_MIN.
  const char* first = text.data() + digitsStart - (negative ? 1 : 0);
  int32_t parsed = 0;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

bool ScaleNumbers::TryToDecimal(const std::string& text, double& value) {
  const char separator = platform::DecimalSeparator();
  std::string normalized;  // the number alone, with '.' as its mark, for from_chars
  size_t i = 0;
  SkipSpaces(text, i);
  const size_t numberStart = i;
  SkipSign(text, i);
  size_t digits = SkipDigits(text, i);
  if (i < text.size() && text[i] == separator) {
    ++i;
    digits += SkipDigits(text, i);
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    SkipSign(text, i);
    if (SkipDigits(text, i) == 0) return false;
  }
  const size_t numberEnd = i;
  SkipSpaces(text, i);
  if (i != text.size()) return false;

  normalized = text.substr(numberStart, numberEnd - numberStart);
  for (char& c : normalized) {
    if (c == separator) c = '.';
  }
  size_t offset = normalized[0] == '+' ? 1 : 0;
  double parsed = 0;
  const auto [end, error] =
      std::from_chars(normalized.data() + offset, normalized.data() + normalized.size(), parsed);
  if (error != std::errc() || end != normalized.data() + normalized.size()) return false;
  if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

std::string ScaleNumbers::Trim(const std::string& text) {
  return platform::Trim(text);
}

bool ScaleNumbers::ContainsDecimalSeparator(const std::string& text) {
  return text.find(platform::DecimalSeparator()) != std::string::npos;
}

}  // namespace trv
