#include <windows.h>

namespace trv::platform {

// LOCALE_SDECIMAL of the user's settings.
char SystemDecimalSeparator() {
  wchar_t buffer[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 0 && buffer[0] == L',') {
    return ',';
  }
  return '.';
}

}  // namespace trv::platform
