#pragma once

#include <string>

#include "platform/Exception.h"

namespace trv {

// The message of the exception that `action` raises; empty when it raises none.
template <typename Action>
std::string MessageOf(Action action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace trv
