#include "platform/SystemError.h"

namespace trv::platform {

std::string RawSystemErrorText(int code);  // one definition per platform

std::string SystemErrorText(int code) {
  std::string text = RawSystemErrorText(code);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace trv::platform
