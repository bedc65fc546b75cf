#include "ServiceLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>

namespace trv::service {
namespace {

constexpr uintmax_t kLogBytes = uintmax_t{1} << 20;
constexpr int kOlderLogs = 3;
constexpr size_t kValueBytes = 200;
constexpr size_t kLineBytes = 2000;

std::string UtcNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// No control character of the text survives: whatever a page sent stays on its one line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return text;
}

}  // namespace

ServiceLog::ServiceLog(const std::filesystem::path& folder)
    : file_(std::make_unique<RotatingLogFile>(folder / "servir.log", kLogBytes, kOlderLogs)) {}

void ServiceLog::Write(const std::string& line) {
  const std::string safe = OneLine(line.substr(0, kLineBytes));
  const std::lock_guard<std::mutex> lock(mutex_);
  if (file_) {
    file_->Write(UtcNow() + " " + safe);
  } else {
    std::cerr << "travinel servir: " << safe << std::endl;
  }
}

std::string ServiceLog::Quoted(const std::string& value) {
  std::string safe = OneLine(value.substr(0, kValueBytes));
  if (value.size() > kValueBytes) safe += "...";
  return "\"" + safe + "\"";
}

}  // namespace trv::service
