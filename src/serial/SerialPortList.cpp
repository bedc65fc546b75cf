#include "serial/SerialPortList.h"

#include <algorithm>
#include <string_view>

namespace trv {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The run of digits that starts at i, without its leading zeros; i moves past it.
std::string_view DigitRun(const std::string& text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::string_view run(text.data() + start, i - start);
  while (run.size() > 1 && run.front() == '0') run.remove_prefix(1);
  return run;
}

// Compares two digit runs as numbers of any length: <0, 0 or >0.
int CompareNumbers(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

bool NaturalNameLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const int order = CompareNumbers(DigitRun(a, i), DigitRun(b, j));
      if (order != 0) return order < 0;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace trv
