#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace trv::service {

// A log file that never grows without bound: when the next line would take it past maxBytes,
// it becomes NAME.1 (NAME.1 becomes NAME.2, and so on; the oldest beyond `keep` goes) and a new
// file begins. At most (keep + 1) × maxBytes are kept. Failures to write are swallowed: a log
// must never stop the service it records.
class RotatingLogFile {
 public:
  RotatingLogFile(std::filesystem::path path, uintmax_t maxBytes, int keep);

  // Appends the line and a line end.
  void Write(const std::string& line);

  const std::filesystem::path& Path() const { return path_; }

 private:
  void Open();
  void Rotate();
  std::filesystem::path Older(int generation) const;

  std::filesystem::path path_;
  uintmax_t maxBytes_;
  int keep_;
  std::ofstream file_;
  uintmax_t size_ = 0;
};

}  // namespace trv::service
