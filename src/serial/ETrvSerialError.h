#pragma once

#include <string>

#include "platform/Exception.h"

namespace trv {

// A failed serial operation, raised when the port's RaiseExcept is on. The message reads
// "Communication error <code>: <text>".
class ETrvSerialError : public Exception {
 public:
  ETrvSerialError(int errorCode, const std::string& errorMessage)
      : Exception("Communication error " + std::to_string(errorCode) + ": " + errorMessage),
        ErrorCode(errorCode),
        ErrorMessage(errorMessage) {}

  int ErrorCode;
  std::string ErrorMessage;
};

}  // namespace trv
