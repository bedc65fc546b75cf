#include "ByteLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace trv::tools {

std::string ByteLog::Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto value = static_cast<unsigned char>(c);
    if (!text.empty()) text += ' ';
    text += kDigits[value >> 4];
    text += kDigits[value & 15];
  }
  return text;
}

void ByteLog::Write(char marker, const std::string& body) {
  if (out_ == nullptr) return;
  *out_ << Timestamp() << ' ' << marker << ' ' << body << '\n';
  out_->flush();
}

std::string ByteLog::Timestamp() {
  using std::chrono::system_clock;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32] = {};
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

}  // namespace trv::tools
