#include "platform/OutputFile.h"

#include <cerrno>
#include <filesystem>

#include "platform/SystemError.h"

namespace trv::platform {
namespace {

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::FILE* OpenStream(const std::string& path, bool append) {
#ifdef _WIN32
  return _wfopen(PathOf(path).c_str(), append ? L"ab" : L"wb");
#else
  return std::fopen(path.c_str(), append ? "ab" : "wb");
#endif
}

int LastCode() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

EInOutError::EInOutError(int code)
    : Exception("I/O error " + std::to_string(code) + ": " + SystemErrorText(code)),
      ErrorCode(code) {}

OutputFile::OutputFile(const std::string& path, bool append) {
  errno = 0;
  file_ = OpenStream(path, append);
  if (file_ == nullptr) throw EInOutError(LastCode());
}

OutputFile::~OutputFile() {
  std::fclose(file_);
}

void OutputFile::Write(const char* data, size_t size) {
  errno = 0;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) throw EInOutError(LastCode());
  Flush();
}

void OutputFile::Flush() {
  errno = 0;
  if (std::fflush(file_) != 0) throw EInOutError(LastCode());
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(PathOf(path), error);
}

void DeleteFileQuietly(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(PathOf(path), error);
}

}  // namespace trv::platform
