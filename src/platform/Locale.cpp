#include "platform/Locale.h"

namespace trv::platform {

char SystemDecimalSeparator();  // one definition per platform

namespace {
char& Separator() {
  static char separator = SystemDecimalSeparator();
  return separator;
}
}  // namespace

char DecimalSeparator() {
  return Separator();
}

void SetDecimalSeparator(char separator) {
  Separator() = separator;
}

ScopedDecimalSeparator::ScopedDecimalSeparator(char separator) : previous_(DecimalSeparator()) {
  SetDecimalSeparator(separator);
}

ScopedDecimalSeparator::~ScopedDecimalSeparator() {
  SetDecimalSeparator(previous_);
}

}  // namespace trv::platform
