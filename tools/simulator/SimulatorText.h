#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

// Small text helpers shared by the simulator's command parsers.
namespace trv::tools::text {

// value in at least `width` digits, zero-padded.
inline std::string ZeroPadded(int64_t value, int width) {
  char digits[32] = {};
  std::snprintf(digits, sizeof digits, "%0*lld", width, static_cast<long long>(value));
  return digits;
}

// A decimal integer (optional leading minus) filling the whole text, within [low, high].
inline bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  const char* end = text.data() + text.size();
  int64_t parsed = 0;
  const auto result = std::from_chars(text.data(), end, parsed);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace trv::tools::text
