#pragma once

#include <stdexcept>
#include <string>

namespace trv {

// The general exception of the system: a UTF-8 message and nothing else. Every layer raises it
// (or a descendant) and the form and the COM boundary catch it by this type.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace trv
