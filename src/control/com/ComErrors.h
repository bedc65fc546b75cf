#pragma once

#include <windows.h>

#include <string>

#include "platform/Exception.h"

namespace trv::com {

// An exception that carries its own COM result (an error a host's sink returned, say).
class ComError : public Exception {
 public:
  ComError(HRESULT result, const std::string& message) : Exception(message), Result(result) {}
  HRESULT Result;
};

// Turns the exception being handled into a COM failure: the exception's own result, or
// E_UNEXPECTED, with an error-information object (the interface riid, the control's ProgID as
// source, the message as description) set for the calling thread. Call it in a catch block.
HRESULT ResultOfCurrentException(REFIID riid);

// Sets an error-information object (riid, the control's ProgID as source, the message as
// description) for the calling thread and answers result: a refusal that raised nothing.
HRESULT Refusal(HRESULT result, REFIID riid, const std::string& message);

// Runs an interface member: S_OK when it returns, the failure above when it raises.
template <typename Action>
HRESULT Guarded(REFIID riid, Action action) {
  try {
    action();
    return S_OK;
  } catch (...) {
    return ResultOfCurrentException(riid);
  }
}

}  // namespace trv::com
