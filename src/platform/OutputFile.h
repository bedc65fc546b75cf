#pragma once

#include <cstdio>
#include <string>

#include "platform/Bytes.h"
#include "platform/Exception.h"

namespace trv::platform {

// A failed file or device output, with the operating system's error code.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  int ErrorCode;
};

// A file or device (a printer port name) written as a byte stream. Every failure raises
// EInOutError; closing never raises.
class OutputFile {
 public:
  // Opens for writing from the start (creating or emptying a file), or for appending.
  OutputFile(const std::string& path, bool append);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(const char* data, size_t size);
  void Flush();

 private:
  std::FILE* file_;
};

bool FileExists(const std::string& path);
// Deletes a file; a failure is not reported.
void DeleteFileQuietly(const std::string& path);

}  // namespace trv::platform
