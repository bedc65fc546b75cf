#pragma once

namespace trv::platform {

// The decimal separator of the user's number format settings ('.' or ','), read from the
// system once and then kept; tests can set it.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Sets the decimal separator for the lifetime of this object (tests only).
class ScopedDecimalSeparator {
 public:
  explicit ScopedDecimalSeparator(char separator);
  ~ScopedDecimalSeparator();
  ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
  ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

 private:
  char previous_;
};

}  // namespace trv::platform
