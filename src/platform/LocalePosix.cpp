#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <stdexcept>

namespace trv::platform {

// The numeric format of the user's environment (LC_ALL, LC_NUMERIC, LANG), as a program
// that called setlocale(LC_ALL, "") would see it; '.' when that locale is not installed.
char SystemDecimalSeparator() {
  try {
    const std::locale user("");
    const char separator = std::use_facet<std::numpunct<char>>(user).decimal_point();
    return separator == ',' ? ',' : '.';
  } catch (const std::runtime_error&) {
    return '.';
  }
}

}  // namespace trv::platform
