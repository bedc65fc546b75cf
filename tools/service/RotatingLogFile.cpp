#include "RotatingLogFile.h"

#include <system_error>
#include <utility>

namespace trv::service {

RotatingLogFile::RotatingLogFile(std::filesystem::path path, uintmax_t maxBytes, int keep)
    : path_(std::move(path)), maxBytes_(maxBytes), keep_(keep) {
  std::error_code ignored;
  std::filesystem::create_directories(path_.parent_path(), ignored);
  Open();
}

void RotatingLogFile::Open() {
  std::error_code ignored;
  const uintmax_t size = std::filesystem::file_size(path_, ignored);
  size_ = ignored ? 0 : size;
  file_.open(path_, std::ios::binary | std::ios::app);
}

std::filesystem::path RotatingLogFile::Older(int generation) const {
  std::filesystem::path older = path_;
  older += "." + std::to_string(generation);
  return older;
}

void RotatingLogFile::Rotate() {
  file_.close();
  std::error_code ignored;
  std::filesystem::remove(Older(keep_), ignored);
  for (int generation = keep_ - 1; generation >= 1; --generation) {
    std::filesystem::rename(Older(generation), Older(generation + 1), ignored);
  }
  if (keep_ > 0) {
    std::filesystem::rename(path_, Older(1), ignored);
  } else {
    std::filesystem::remove(path_, ignored);
  }
  Open();
}

void RotatingLogFile::Write(const std::string& line) {
  const uintmax_t length = line.size() + 1;
  if (size_ > 0 && size_ + length > maxBytes_) Rotate();
  if (!file_) return;
  file_ << line << '\n';
  file_.flush();
  size_ += length;
}

}  // namespace trv::service
