#include <cstring>
#include <string>
#include <type_traits>

namespace trv::platform {

std::string RawSystemErrorText(int code) {
#if defined(__GLIBC__)
  // glibc makes up "Unknown error N" for a code it has no text for; such a code has none.
  if (strerrordesc_np(code) == nullptr) return {};
#endif
  char buffer[256] = {};
  // The GNU strerror_r returns the text (possibly not in buffer); the XSI one fills buffer.
  auto result = strerror_r(code, buffer, sizeof buffer);
  if constexpr (std::is_same_v<decltype(result), char*>) {
    return result != nullptr ? std::string(result) : std::string();
  } else {
    return result == 0 ? std::string(buffer) : std::string();
  }
}

}  // namespace trv::platform
